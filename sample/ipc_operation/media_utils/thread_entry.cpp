#include "thread_entry.h"

void ThreadEntry::Start(Function function, void* arg) {
    if (!function) return;
    Stop();
    function_ = std::move(function);
    arg_ = arg;
    running_ = true;
    thread_ = std::thread(&ThreadEntry::Run, this);
}

void ThreadEntry::Stop() {
    running_ = false;
    // Once join returns the thread can no longer touch this object.
    if (thread_.joinable()) thread_.join();
}

void ThreadEntry::Run() {
    while (running_) {
        if (!function_(arg_)) running_ = false;
    }
}
