// Time marks and time texts.
#pragma once

#include <cstdint>
#include <string>

struct Tic {
    int64_t tv_sec;
    int64_t tv_usec;
};

// A mark of the monotonic clock (OV_HAL_UptimeMs), millisecond resolution.
Tic tic();
// Milliseconds since start.
int64_t toc(const Tic& start);
// The current local time (not UTC, despite the name) as "%y-%m-%d-%H:%M:%S".
std::string GetUtcTimeString();
// Milliseconds of the steady clock since its epoch.
uint64_t GetSystemTimeInt();
// The decimal text of GetSystemTimeInt().
std::string GetSystemTimeString();
