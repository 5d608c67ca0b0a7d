#include "infra/mqtt/client_params.h"

#include "infra/utils/sdk_log.h"

namespace tessera::mqtt {
namespace {

constexpr const char* kModule = "mqtt";
constexpr uint32_t kMinRequestTimeoutMs = 500;
constexpr uint32_t kMaxRequestTimeoutMs = 5000;
constexpr uint32_t kMinKeepaliveS = 30;
constexpr uint32_t kMaxKeepaliveS = 120;

uint32_t ClampKeepaliveMs(uint32_t keepalive_ms) {
    uint32_t seconds = keepalive_ms / 1000;
    if (seconds >= kMinKeepaliveS && seconds <= kMaxKeepaliveS) return seconds * 1000;
    if (seconds < kMinKeepaliveS) {
        SDK_WARN(kModule, "Input heartbeat interval(%u ms) < Allowed minimum(%u ms)", keepalive_ms,
                 kMinKeepaliveS * 1000);
        seconds = kMinKeepaliveS;
    } else {
        SDK_WARN(kModule, "Input heartbeat interval(%u ms) > Allowed maximum(%u ms)", keepalive_ms,
                 kMaxKeepaliveS * 1000);
        seconds = kMaxKeepaliveS;
    }
    SDK_WARN(kModule, "Reset heartbeat interval => %u Millisecond", seconds * 1000);
    return seconds * 1000;
}

}  // namespace

ClientParams NormalizeParams(ClientParams params) {
    if (params.request_timeout_ms < kMinRequestTimeoutMs || params.request_timeout_ms > kMaxRequestTimeoutMs) {
        params.request_timeout_ms = kDefaultRequestTimeoutMs;
    }
    params.keepalive_ms = ClampKeepaliveMs(params.keepalive_ms);
    if (params.write_buf_size == 0) params.write_buf_size = kDefaultBufferSize;
    if (params.read_buf_size == 0) params.read_buf_size = kDefaultBufferSize;
    return params;
}

}  // namespace tessera::mqtt
