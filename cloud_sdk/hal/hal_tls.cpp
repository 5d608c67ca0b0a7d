// TLS 1.2 client connections on mbedtls: HAL_SSL_Establish, HAL_SSL_Read, HAL_SSL_Write, HAL_SSL_Destroy.
#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <mbedtls/error.h>
#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <mbedtls/x509_crt.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "hal/hal_net.h"
#include "hal/tls_socket_io.h"
#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace {

constexpr const char kModule[] = "hal";
constexpr uint32_t kHandshakeReadTimeoutMs = 10000;
constexpr size_t kHostMax = 253;
constexpr const char kDrbgPersonalization[] = "tessera_tls";

enum ReadStatus { kReadOpen = 0, kReadError = -1, kReadClosed = -2 };

struct TlsConnection {
    int fd = -1;
    mbedtls_ssl_context ssl;
    mbedtls_ssl_config conf;
    mbedtls_x509_crt ca;
    mbedtls_entropy_context entropy;
    mbedtls_ctr_drbg_context drbg;
    int read_status = kReadOpen;  // per connection: one connection's close says nothing of another's

    TlsConnection() {
        mbedtls_ssl_init(&ssl);
        mbedtls_ssl_config_init(&conf);
        mbedtls_x509_crt_init(&ca);
        mbedtls_entropy_init(&entropy);
        mbedtls_ctr_drbg_init(&drbg);
    }
    ~TlsConnection() {
        if (fd >= 0) {
            mbedtls_ssl_close_notify(&ssl);
            close(fd);
        }
        mbedtls_ssl_free(&ssl);
        mbedtls_ssl_config_free(&conf);
        mbedtls_x509_crt_free(&ca);
        mbedtls_ctr_drbg_free(&drbg);
        mbedtls_entropy_free(&entropy);
    }
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;
};

bool ValidHost(const char* host) {
    size_t length = strnlen(host, kHostMax + 1);
    if (length == 0 || length > kHostMax) return false;
    for (size_t i = 0; i < length; ++i) {
        if (host[i] <= ' ' || host[i] > '~') return false;
    }
    return true;
}

bool LoadCa(TlsConnection& tls, const char* ca_crt, uint32_t ca_crt_len) {
    SDK_DEBUG(kModule, "Loading the CA root certificate ...");
    // The PEM parser wants the terminating NUL inside the length; do not trust the caller to count it.
    std::string pem(ca_crt, strnlen(ca_crt, ca_crt_len));
    int ret = mbedtls_x509_crt_parse(&tls.ca, reinterpret_cast<const unsigned char*>(pem.c_str()), pem.size() + 1);
    if (ret != 0) SDK_ERR(kModule, " failed ! x509parse_crt returned -0x%04x", static_cast<unsigned>(-ret));
    return ret == 0;
}

bool SetUpTls(TlsConnection& tls, const char* host) {
    SDK_DEBUG(kModule, "  . Setting up the SSL/TLS structure...");
    int ret = mbedtls_ctr_drbg_seed(&tls.drbg, mbedtls_entropy_func, &tls.entropy,
                                    reinterpret_cast<const unsigned char*>(kDrbgPersonalization),
                                    sizeof(kDrbgPersonalization) - 1);
    if (ret == 0) {
        ret = mbedtls_ssl_config_defaults(&tls.conf, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM,
                                          MBEDTLS_SSL_PRESET_DEFAULT);
    }
    if (ret != 0) {
        SDK_ERR(kModule, " failed ! mbedtls_ssl_config_defaults returned -0x%04x", static_cast<unsigned>(-ret));
        return false;
    }
    mbedtls_ssl_conf_min_version(&tls.conf, MBEDTLS_SSL_MAJOR_VERSION_3, MBEDTLS_SSL_MINOR_VERSION_3);
    mbedtls_ssl_conf_max_version(&tls.conf, MBEDTLS_SSL_MAJOR_VERSION_3, MBEDTLS_SSL_MINOR_VERSION_3);
    mbedtls_ssl_conf_authmode(&tls.conf, MBEDTLS_SSL_VERIFY_REQUIRED);
    mbedtls_ssl_conf_ca_chain(&tls.conf, &tls.ca, nullptr);
    mbedtls_ssl_conf_rng(&tls.conf, mbedtls_ctr_drbg_random, &tls.drbg);
    mbedtls_ssl_conf_read_timeout(&tls.conf, kHandshakeReadTimeoutMs);
    ret = mbedtls_ssl_setup(&tls.ssl, &tls.conf);
    if (ret == 0) ret = mbedtls_ssl_set_hostname(&tls.ssl, host);
    if (ret != 0) {
        SDK_ERR(kModule, " failed ! mbedtls_ssl_setup returned -0x%04x", static_cast<unsigned>(-ret));
        return false;
    }
    mbedtls_ssl_set_bio(&tls.ssl, &tls.fd, tessera::TlsSocketSend, nullptr, tessera::TlsSocketRecvTimeout);
    return true;
}

struct VerifyFailure {
    uint32_t flag;
    const char* text;
};

const VerifyFailure kVerifyFailures[] = {
    {MBEDTLS_X509_BADCERT_EXPIRED, "! fail ! ERROR_CERTIFICATE_EXPIRED"},
    {MBEDTLS_X509_BADCERT_REVOKED, "! fail ! server certificate has been revoked"},
    {MBEDTLS_X509_BADCERT_CN_MISMATCH, "! fail ! CN mismatch"},
    {MBEDTLS_X509_BADCERT_NOT_TRUSTED, "! fail ! self-signed or not signed by a trusted CA"},
};

bool PeerVerified(TlsConnection& tls) {
    SDK_DEBUG(kModule, "  . Verifying peer X.509 certificate..");
    uint32_t flags = mbedtls_ssl_get_verify_result(&tls.ssl);
    if (flags == 0) return true;
    SDK_ERR(kModule, "certificate verification result: 0x%02x", flags);
    for (const VerifyFailure& failure : kVerifyFailures) {
        if ((flags & failure.flag) != 0) SDK_ERR(kModule, "%s", failure.text);
    }
    return false;
}

bool Handshake(TlsConnection& tls) {
    SDK_DEBUG(kModule, "Performing the SSL/TLS handshake...");
    int ret;
    while ((ret = mbedtls_ssl_handshake(&tls.ssl)) != 0) {
        if (ret == MBEDTLS_ERR_SSL_WANT_READ || ret == MBEDTLS_ERR_SSL_WANT_WRITE) continue;
        SDK_ERR(kModule, "failed  ! mbedtls_ssl_handshake returned -0x%04x", static_cast<unsigned>(-ret));
        if (ret == MBEDTLS_ERR_X509_CERT_VERIFY_FAILED) PeerVerified(tls);
        return false;
    }
    return PeerVerified(tls);
}

TlsConnection* FromHandle(uintptr_t handle) { return reinterpret_cast<TlsConnection*>(handle); }

bool ReadEndsCall(int ret) {
    return ret == MBEDTLS_ERR_SSL_TIMEOUT || ret == MBEDTLS_ERR_SSL_WANT_READ || ret == MBEDTLS_ERR_SSL_WANT_WRITE ||
           ret == MBEDTLS_ERR_SSL_ASYNC_IN_PROGRESS || ret == MBEDTLS_ERR_SSL_CRYPTO_IN_PROGRESS;
}

void LogRecvError(int ret) {
    char text[128];
    mbedtls_strerror(ret, text, sizeof(text));
    SDK_ERR(kModule, "ssl recv error: code = %d, err_str = '%s'", ret, text);
}

// One mbedtls read; updates the connection's status when it ends the stream. True to keep reading.
bool ReadOnce(TlsConnection& tls, char* buf, int len, int* got) {
    int ret = mbedtls_ssl_read(&tls.ssl, reinterpret_cast<unsigned char*>(buf), static_cast<size_t>(len));
    if (ret > 0) {
        *got += ret;
        return true;
    }
    if (ReadEndsCall(ret)) return false;
    // 0 is the end of the stream without close-notify: the connection is as finished as after one.
    if (ret == 0 || ret == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY) {
        if (ret != 0) LogRecvError(ret);
        tls.read_status = kReadClosed;
    } else {
        LogRecvError(ret);
        tls.read_status = kReadError;
    }
    return false;
}

}  // namespace

extern "C" uintptr_t HAL_SSL_Establish(const char* host, uint16_t port, const char* ca_crt, uint32_t ca_crt_len) {
    if (host == nullptr || ca_crt == nullptr) {
        SDK_ERR(kModule, "input params are NULL, abort");
        return 0;
    }
    if (!ValidHost(host)) {
        SDK_ERR(kModule, "invalid host: '%s'(len=%d), abort", host, static_cast<int>(strnlen(host, kHostMax + 1)));
        return 0;
    }
    auto tls = std::make_unique<TlsConnection>();
    if (!LoadCa(*tls, ca_crt, ca_crt_len)) return 0;
    tls->fd = tessera::ConnectTcp(host, port);
    if (tls->fd < 0) {
        SDK_ERR(kModule, " failed ! net_connect returned -0x%04x", static_cast<unsigned>(-MBEDTLS_ERR_NET_CONNECT_FAILED));
        return 0;
    }
    if (!SetUpTls(*tls, host) || !Handshake(*tls)) return 0;
    return reinterpret_cast<uintptr_t>(tls.release());
}

extern "C" int HAL_SSL_Read(uintptr_t handle, char* buf, int len, int timeout_ms) {
    TlsConnection* tls = FromHandle(handle);
    if (tls == nullptr || buf == nullptr || len <= 0) return -1;
    int got = 0;
    if (tls->read_status != kReadOpen) return tls->read_status;
    uint64_t deadline = HAL_UptimeMs() + static_cast<uint64_t>(timeout_ms > 0 ? timeout_ms : 0);
    while (got < len) {
        uint64_t now = HAL_UptimeMs();
        if (now >= deadline && got > 0) break;
        // A time-out of 0 would mean "for ever" to mbedtls; 1 ms is the shortest real wait.
        mbedtls_ssl_conf_read_timeout(&tls->conf, static_cast<uint32_t>(now < deadline ? deadline - now : 1));
        if (!ReadOnce(*tls, buf + got, len - got, &got)) break;
    }
    return got > 0 ? got : tls->read_status;
}

extern "C" int HAL_SSL_Write(uintptr_t handle, const char* buf, int len, int timeout_ms) {
    TlsConnection* tls = FromHandle(handle);
    if (tls == nullptr || buf == nullptr || len < 0) return -1;
    timeval send_timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    setsockopt(tls->fd, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof(send_timeout));
    uint64_t deadline = HAL_UptimeMs() + static_cast<uint64_t>(timeout_ms > 0 ? timeout_ms : 0);
    int written = 0;
    int first_error = 0;
    while (written < len) {
        int ret = mbedtls_ssl_write(&tls->ssl, reinterpret_cast<const unsigned char*>(buf + written),
                                    static_cast<size_t>(len - written));
        if (ret > 0) {
            written += ret;
            continue;
        }
        if (first_error == 0) first_error = ret;
        bool retry = ret == MBEDTLS_ERR_SSL_WANT_WRITE || ret == MBEDTLS_ERR_SSL_WANT_READ;
        if (!retry || HAL_UptimeMs() >= deadline) break;
    }
    return written > 0 || len == 0 ? written : first_error;
}

extern "C" int HAL_SSL_Destroy(uintptr_t handle) {
    if (handle == 0) {
        SDK_ERR(kModule, "handle is NULL");
        return -1;
    }
    delete FromHandle(handle);
    return 0;
}
