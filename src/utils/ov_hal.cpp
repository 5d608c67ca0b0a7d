#include "utils/ov_hal.h"

#include <pthread.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "utils/logger.h"

// A handle is the pthread_t itself (an integer on glibc), so no handle owns memory.
static_assert(sizeof(pthread_t) <= sizeof(void*), "pthread_t must fit in a handle");

namespace {

void* ToHandle(pthread_t thread) {
    void* handle = nullptr;
    memcpy(&handle, &thread, sizeof(thread));
    return handle;
}

pthread_t FromHandle(void* handle) {
    pthread_t thread;
    memcpy(&thread, &handle, sizeof(thread));
    return thread;
}

}  // namespace

int OV_HAL_ThreadCreate(void** thread_handle, void* (*routine)(void*), void* arg, ov_hal_os_thread_param_t* /*param*/,
                        int* stack_used) {
    if (stack_used != nullptr) *stack_used = 0;
    pthread_t thread;
    int ret = pthread_create(&thread, nullptr, routine, arg);
    if (ret != 0) {
        LOGE("pthread_create failed,ret = %d", ret);
        return -1;
    }
    *thread_handle = ToHandle(thread);
    return 0;
}

void OV_HAL_ThreadDetach(void* thread_handle) {
    if (thread_handle != nullptr) pthread_detach(FromHandle(thread_handle));
}

void OV_HAL_ThreadDelete(void* thread_handle) {
    if (thread_handle != nullptr) pthread_join(FromHandle(thread_handle), nullptr);
}

void OV_HAL_SleepMs(uint32_t ms) {
    struct timespec left = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint64_t OV_HAL_UptimeMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}
