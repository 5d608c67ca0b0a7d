#include "infra/mqtt/reconnect_backoff.h"

#include <algorithm>

namespace tessera::mqtt {

uint32_t ReconnectBackoff::NextWaitAfterFailure(const std::function<uint32_t(uint32_t)>& random_below) {
    interval_ms_ = interval_ms_ >= kMaxIntervalMs ? kMaxIntervalMs : interval_ms_ * 2;
    uint64_t wait = static_cast<uint64_t>(interval_ms_) + random_below(interval_ms_);
    return static_cast<uint32_t>(std::min<uint64_t>(wait, kMaxIntervalMs));
}

}  // namespace tessera::mqtt
