// Counts heap allocations of the whole process (every thread), for allocations-per-frame figures.
#pragma once

#include <cstdint>

uint64_t AllocationCount();
// What the counter sees: "malloc" (C and C++ allocations); sanitizer builds count nothing.
const char* AllocationCounterScope();
