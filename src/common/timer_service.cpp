#include "common/timer_service.h"

#include <mutex>

std::atomic<TimerService*> TimerService::event_instance_{nullptr};
std::atomic<TimerService*> TimerService::network_instance_{nullptr};
std::atomic<TimerService*> TimerService::user_instance_{nullptr};

namespace {
std::mutex g_instances_mutex;
}

TimerService::TimerService(const std::string& name) : thread_pool_(new ThreadPool(name)), extern_name_(name) {}

TimerService::~TimerService() { thread_pool_->stop(); }

int TimerService::Start() { return thread_pool_->Start(1); }

int TimerService::AddTask(const TimerTaskProperty& task, long /*delay_ms*/) {
    TimerTaskProperty* copy = new TimerTaskProperty(task);
    if (thread_pool_->AddJob(RunTask, copy)) return 0;
    delete copy;
    return -1;
}

void TimerService::RunTask(void* arg) {
    std::unique_ptr<TimerTaskProperty> task(static_cast<TimerTaskProperty*>(arg));
    if (task->process != nullptr) task->process(task->arg);
    if (task->recycle != nullptr) task->recycle(task->arg);
}

TimerService* TimerService::GetOrCreate(std::atomic<TimerService*>& slot, const char* name) {
    std::lock_guard<std::mutex> lock(g_instances_mutex);
    if (slot.load() == nullptr) slot = new TimerService(name);
    return slot.load();
}

void TimerService::Destroy(std::atomic<TimerService*>& slot) {
    TimerService* service = slot.load();
    if (service == nullptr) return;
    // Drained while still reachable: a task that queues another one meanwhile is refused, not lost in a
    // new instance.
    service->thread_pool_->stop();
    slot = nullptr;
    delete service;
}

TimerService* TimerService::GetEventInstance() { return GetOrCreate(event_instance_, "EventTimerService"); }
TimerService* TimerService::GetNetworkInstance() { return GetOrCreate(network_instance_, "NetworkTimerService"); }
TimerService* TimerService::GetUserInstance() { return GetOrCreate(user_instance_, "UserTimerService"); }

void TimerService::DestroyEventInstance() { Destroy(event_instance_); }
void TimerService::DestroyNetworkInstance() { Destroy(network_instance_); }
void TimerService::DestroyUserInstance() { Destroy(user_instance_); }
