// Memory, clocks, random numbers, text output, mutexes and threads on POSIX.
#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>

#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace {

constexpr const char kModule[] = "hal";

std::mutex g_random_mutex;
std::minstd_rand g_random;  // HAL_Random is for jitter and ids, not for keys

}  // namespace

extern "C" {

void* HAL_Malloc(uint32_t size) { return malloc(size); }
void* HAL_Calloc(uint32_t count, uint32_t size) { return calloc(count, size); }
void* HAL_Realloc(void* ptr, uint32_t size) { return realloc(ptr, size); }
void HAL_Free(void* ptr) { free(ptr); }

uint64_t HAL_UptimeMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

void HAL_SleepMs(uint32_t ms) {
    struct timespec left = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void HAL_Srandom(uint32_t seed) {
    std::lock_guard<std::mutex> lock(g_random_mutex);
    g_random.seed(seed);
}

uint32_t HAL_Random(uint32_t region) {
    if (region == 0) return 0;
    std::lock_guard<std::mutex> lock(g_random_mutex);
    return std::uniform_int_distribution<uint32_t>(0, region - 1)(g_random);
}

int HAL_Snprintf(char* str, int len, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int written = HAL_Vsnprintf(str, len, fmt, args);
    va_end(args);
    return written;
}

int HAL_Vsnprintf(char* str, int len, const char* fmt, va_list ap) {
    if (len < 0) return -1;
    return vsnprintf(str, static_cast<size_t>(len), fmt, ap);
}

void HAL_Printf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
    fflush(stdout);
}

void* HAL_MutexCreate(void) {
    auto* mutex = static_cast<pthread_mutex_t*>(malloc(sizeof(pthread_mutex_t)));
    if (mutex == nullptr || pthread_mutex_init(mutex, nullptr) != 0) {
        free(mutex);
        SDK_ERR(kModule, "create mutex failed");
        return nullptr;
    }
    return mutex;
}

void HAL_MutexDestroy(void* mutex) {
    if (mutex == nullptr) {
        SDK_ERR(kModule, "mutex want to destroy is NULL!");
        return;
    }
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(mutex));
    free(mutex);
}

void HAL_MutexLock(void* mutex) {
    int err = mutex == nullptr ? EINVAL : pthread_mutex_lock(static_cast<pthread_mutex_t*>(mutex));
    if (err != 0) SDK_ERR(kModule, "lock mutex failed: - '%s' (%d)", strerror(err), err);
}

void HAL_MutexUnlock(void* mutex) {
    int err = mutex == nullptr ? EINVAL : pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex));
    if (err != 0) SDK_ERR(kModule, "unlock mutex failed - '%s' (%d)", strerror(err), err);
}

// A handle is the pthread_t itself; threads start joinable so HAL_ThreadDelete can really wait.
static_assert(sizeof(pthread_t) <= sizeof(void*), "pthread_t must fit a handle");

int HAL_ThreadCreate(void** thread_handle, void* (*routine)(void*), void* arg, hal_os_thread_param_t* param,
                     int* stack_used) {
    (void)param;
    if (thread_handle == nullptr || routine == nullptr) return -1;
    if (stack_used != nullptr) *stack_used = 0;
    pthread_t thread;
    int ret = pthread_create(&thread, nullptr, routine, arg);
    if (ret != 0) {
        SDK_ERR(kModule, "pthread_create failed,ret = %d", ret);
        return -1;
    }
    *thread_handle = reinterpret_cast<void*>(thread);
    return 0;
}

void HAL_ThreadDetach(void* thread_handle) {
    if (thread_handle != nullptr) pthread_detach(reinterpret_cast<pthread_t>(thread_handle));
}

void HAL_ThreadDelete(void* thread_handle) {
    if (thread_handle != nullptr) pthread_join(reinterpret_cast<pthread_t>(thread_handle), nullptr);
}

}  // extern "C"
