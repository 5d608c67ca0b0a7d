#include "local_time.h"

#include <chrono>

uint64_t GetLocalTime() {
    auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}
