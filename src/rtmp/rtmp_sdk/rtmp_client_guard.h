// Nothing thrown inside the client crosses its C boundary.
#pragma once

#include <cstdio>
#include <new>

#include "rtmp/rtmp_sdk/rtmp_client.h"

template <typename Body>
int GuardedCall(const char* operation, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        std::printf("%s: out of memory\n", operation);
        return ZENQ_RTMP_MALLOC_FAILED;
    } catch (...) {
        std::printf("%s: unexpected failure\n", operation);
        return ZENQ_RTMP_ILLEGAL_INPUT;
    }
}
