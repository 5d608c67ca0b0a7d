// The SDK's allocator: every block is counted against the module that took it, and a module may be given
// a budget, so a device can cap what one part of the SDK holds and tests can prove nothing is left behind.
#pragma once

#include <cstddef>

namespace tessera {

// NULL when the module's budget or the heap is exhausted.
void* SdkMalloc(size_t size, const char* module);
void SdkFree(void* block);

// Bytes the module holds now.
size_t SdkMemInUse(const char* module);
// Caps what the module may hold; 0 removes the cap.
void SdkMemSetBudget(const char* module, size_t bytes);

}  // namespace tessera
