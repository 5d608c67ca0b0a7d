// The camera SDK's OS layer: threads, sleeping, uptime.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    ov_os_thread_priority_idle = -3,
    ov_os_thread_priority_low = -2,
    ov_os_thread_priority_belowNormal = -1,
    ov_os_thread_priority_normal = 0,
    ov_os_thread_priority_aboveNormal = 1,
    ov_os_thread_priority_high = 2,
    ov_os_thread_priority_realtime = 3,
    ov_os_thread_priority_error = 132,
} ov_hal_os_thread_priority_t;

// Accepted by OV_HAL_ThreadCreate and ignored: every thread gets the default attributes.
typedef struct _hal_os_thread {
    ov_hal_os_thread_priority_t priority;
    void* stack_addr;
    size_t stack_size;
    int detach_state;
    const char* name;
} ov_hal_os_thread_param_t;

// Starts routine(arg) on a new thread. The thread stays joinable so that OV_HAL_ThreadDelete can wait for
// its end; each handle must be passed once to either OV_HAL_ThreadDelete or OV_HAL_ThreadDetach.
// 0, or -1 after "pthread_create failed,ret = %d".
int OV_HAL_ThreadCreate(void** thread_handle, void* (*routine)(void*), void* arg, ov_hal_os_thread_param_t* param,
                        int* stack_used);
// Lets the thread end on its own; the handle is no longer valid.
void OV_HAL_ThreadDetach(void* thread_handle);
// Waits until the thread has returned from its routine; a null handle does nothing.
void OV_HAL_ThreadDelete(void* thread_handle);
void OV_HAL_SleepMs(uint32_t ms);
// Milliseconds of the monotonic clock.
uint64_t OV_HAL_UptimeMs(void);

#ifdef __cplusplus
}
#endif
