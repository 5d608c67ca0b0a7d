// Waits between reconnection attempts: from 1 s, doubling, with a random share, never above 60 s.
#pragma once

#include <cstdint>
#include <functional>

namespace tessera::mqtt {

class ReconnectBackoff {
public:
    static constexpr uint32_t kInitialIntervalMs = 1000;
    static constexpr uint32_t kMaxIntervalMs = 60000;

    void Reset() { interval_ms_ = kInitialIntervalMs; }
    // After a failed attempt: the interval doubles (once at or above 60 s it stays at 60 s) and the wait
    // is the interval plus a random value below it, at most 60 s.
    uint32_t NextWaitAfterFailure(const std::function<uint32_t(uint32_t)>& random_below);
    uint32_t interval_ms() const { return interval_ms_; }

private:
    uint32_t interval_ms_ = kInitialIntervalMs;
};

}  // namespace tessera::mqtt
