#include "infra/http/http_transport.h"

#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "httpc";
// After the first byte, what else is already there is collected with this short wait, so a read returns
// once data has come instead of waiting for the whole buffer to fill.
constexpr int kDrainTimeoutMs = 1;

bool HasCertificate(const tessera_net_rec* net) {
    if (net->ca_crt != nullptr) return true;
    SDK_ERR(kModule, "no method match!");
    return false;
}

int TlsConnect(tessera_net_rec* net) {
    if (!HasCertificate(net)) return -1;
    net->handle = HAL_SSL_Establish(net->host, net->port, net->ca_crt, net->ca_crt_len);
    return net->handle != 0 ? 0 : -1;
}

int TlsRead(tessera_net_rec* net, char* buffer, uint32_t len, uint32_t timeout_ms) {
    if (!HasCertificate(net)) return -1;
    int first = HAL_SSL_Read(net->handle, buffer, 1, static_cast<int>(timeout_ms));
    if (first <= 0 || len == 1) return first;
    int more = HAL_SSL_Read(net->handle, buffer + 1, static_cast<int>(len - 1), kDrainTimeoutMs);
    return more > 0 ? 1 + more : 1;  // a close seen here is reported by the next read
}

int TlsWrite(tessera_net_rec* net, const char* buffer, uint32_t len, uint32_t timeout_ms) {
    if (!HasCertificate(net)) return -1;
    return HAL_SSL_Write(net->handle, buffer, static_cast<int>(len), static_cast<int>(timeout_ms));
}

int TlsDisconnect(tessera_net_rec* net) {
    if (!HasCertificate(net)) return -1;
    int ret = HAL_SSL_Destroy(net->handle);
    net->handle = 0;
    return ret;
}

}  // namespace

void Countdown::Reset(uint32_t ms) { deadline_ms_ = HAL_UptimeMs() + ms; }

uint32_t Countdown::Left() const {
    uint64_t now = HAL_UptimeMs();
    return now >= deadline_ms_ ? 0 : static_cast<uint32_t>(deadline_ms_ - now);
}

ReadResult ReadSome(tessera_net_rec* net, char* buffer, uint32_t max, uint32_t timeout_ms, uint32_t* got) {
    *got = 0;
    if (max == 0) return ReadResult::kNothing;
    int ret = net->read(net, buffer, max, timeout_ms);
    if (ret > 0) {
        *got = static_cast<uint32_t>(ret) < max ? static_cast<uint32_t>(ret) : max;
        SDK_DEBUG(kModule, "%u bytes has been read", *got);
        return ReadResult::kData;
    }
    if (ret == 0) return ReadResult::kNothing;
    if (ret == -2) {
        SDK_INFO(kModule, "Connection closed.");
        return ReadResult::kClosed;
    }
    SDK_ERR(kModule, "Connection error (recv returned %d)", ret);
    return ReadResult::kBroken;
}

void InstallTlsTransport(tessera_net_rec* net) {
    if (net->read != nullptr || net->write != nullptr || net->connect != nullptr || net->disconnect != nullptr) return;
    net->connect = TlsConnect;
    net->read = TlsRead;
    net->write = TlsWrite;
    net->disconnect = TlsDisconnect;
}

}  // namespace tessera
