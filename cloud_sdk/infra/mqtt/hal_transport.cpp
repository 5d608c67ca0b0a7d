// Transport and platform services over the HAL_ layer.
#include <climits>

#include "infra/mqtt/transport.h"
#include "tessera_hal.h"

namespace tessera::mqtt {
namespace {

int ClampLength(size_t len) { return len > INT_MAX ? INT_MAX : static_cast<int>(len); }
int ClampTimeout(uint32_t timeout_ms) { return timeout_ms > INT_MAX ? INT_MAX : static_cast<int>(timeout_ms); }

class TlsTransport : public Transport {
public:
    explicit TlsTransport(uintptr_t handle) : handle_(handle) {}
    ~TlsTransport() override { HAL_SSL_Destroy(handle_); }
    TlsTransport(const TlsTransport&) = delete;
    TlsTransport& operator=(const TlsTransport&) = delete;

    int Read(uint8_t* buffer, size_t len, uint32_t timeout_ms) override {
        return HAL_SSL_Read(handle_, reinterpret_cast<char*>(buffer), ClampLength(len), ClampTimeout(timeout_ms));
    }
    int Write(const uint8_t* buffer, size_t len, uint32_t timeout_ms) override {
        return HAL_SSL_Write(handle_, reinterpret_cast<const char*>(buffer), ClampLength(len),
                             ClampTimeout(timeout_ms));
    }

private:
    uintptr_t handle_;
};

class HalPlatform : public ClientPlatform {
public:
    uint64_t NowMs() override { return HAL_UptimeMs(); }
    void SleepMs(uint32_t ms) override { HAL_SleepMs(ms); }
    uint32_t Random(uint32_t below) override { return HAL_Random(below); }
    void SeedRandom(uint32_t seed) override { HAL_Srandom(seed); }
    std::unique_ptr<Transport> Connect(const Endpoint& endpoint) override {
        // The length handed to the TLS layer counts the terminating NUL, as PEM parsing requires.
        uintptr_t handle = HAL_SSL_Establish(endpoint.host.c_str(), endpoint.port, endpoint.ca_pem.c_str(),
                                             static_cast<uint32_t>(endpoint.ca_pem.size() + 1));
        if (handle == 0) return nullptr;
        return std::make_unique<TlsTransport>(handle);
    }
};

}  // namespace

ClientPlatform& HalClientPlatform() {
    static HalPlatform platform;
    return platform;
}

}  // namespace tessera::mqtt
