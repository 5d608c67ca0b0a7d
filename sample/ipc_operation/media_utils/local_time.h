// The camera's pacing clock.
#pragma once

#include <cstdint>
#include <functional>

// Milliseconds of the monotonic clock; only differences are meaningful.
uint64_t GetLocalTime();

// Readers take their clock as a function so tests can drive time.
using MediaClock = std::function<uint64_t()>;
