// Named single-thread task queues: the event, network and user task queues of the SDK.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "common/thread_pool.h"

typedef void (*TimerTaskFunction)(void* arg);

// One task: process(arg), then recycle(arg) to release the argument, both on the service's thread.
struct TimerTaskProperty {
    TimerTaskFunction process = nullptr;
    TimerTaskFunction recycle = nullptr;
    void* arg = nullptr;
};

// Despite the name there is no timer: a task runs as soon as the service's one thread is free, and the
// tasks of one service run one at a time in the order they were added.
class TimerService {
public:
    TimerService(const std::string& name);
    virtual ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    // Starts the service's one worker; the pool's result.
    int Start();
    // Queues the task. 0 when queued; -1 when the service is not running, in which case neither process
    // nor recycle is called and the caller still owns arg. delay_ms is not honoured: every caller passes 0.
    int AddTask(const TimerTaskProperty& task, long delay_ms);

    static TimerService* GetEventInstance();
    static TimerService* GetNetworkInstance();
    static TimerService* GetUserInstance();
    // Each runs the tasks still queued, joins the thread and deletes the instance; nothing when absent.
    static void DestroyEventInstance();
    static void DestroyNetworkInstance();
    static void DestroyUserInstance();

private:
    static void RunTask(void* arg);
    static TimerService* GetOrCreate(std::atomic<TimerService*>& slot, const char* name);
    static void Destroy(std::atomic<TimerService*>& slot);

    std::unique_ptr<ThreadPool> thread_pool_;
    std::string extern_name_;

    static std::atomic<TimerService*> event_instance_;
    static std::atomic<TimerService*> network_instance_;
    static std::atomic<TimerService*> user_instance_;
};
