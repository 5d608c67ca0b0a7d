#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<uint64_t> g_allocations{0};
}

uint64_t AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)

// The sanitizer runtime owns the allocator; counting is left to the plain build.
const char* AllocationCounterScope() { return "nothing (sanitizer build)"; }

#else

// glibc lets a program interpose malloc; the counted entry points forward to glibc's allocator,
// so free and the aligned variants stay glibc's own.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);

const char* AllocationCounterScope() { return "malloc"; }

extern "C" void* malloc(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}

#endif
