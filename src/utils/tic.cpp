#include "utils/tic.h"

#include <chrono>
#include <ctime>

#include "utils/ov_hal.h"

Tic tic() {
    uint64_t ms = OV_HAL_UptimeMs();
    return Tic{static_cast<int64_t>(ms / 1000), static_cast<int64_t>(ms % 1000) * 1000};
}

int64_t toc(const Tic& start) {
    Tic now = tic();
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_usec - start.tv_usec) / 1000;
}

std::string GetUtcTimeString() {
    time_t seconds = time(nullptr);
    struct tm local;
    localtime_r(&seconds, &local);
    char text[32];
    strftime(text, sizeof(text), "%y-%m-%d-%H:%M:%S", &local);
    return text;
}

uint64_t GetSystemTimeInt() {
    auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count());
}

std::string GetSystemTimeString() { return std::to_string(GetSystemTimeInt()); }
