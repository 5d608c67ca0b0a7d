// A worker thread that calls one function repeatedly until it returns false or is stopped.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class ThreadEntry {
public:
    using Function = std::function<bool(void*)>;

    ThreadEntry() = default;
    ~ThreadEntry() { Stop(); }
    ThreadEntry(const ThreadEntry&) = delete;
    ThreadEntry& operator=(const ThreadEntry&) = delete;

    // Does nothing for an empty function. A thread that ended by itself is reaped first.
    void Start(Function function, void* arg);
    // Waits for the thread to leave. Must not be called from inside the function.
    void Stop();
    bool GetStatus() const { return running_; }

private:
    void Run();

    std::atomic<bool> running_{false};
    Function function_;
    void* arg_ = nullptr;
    std::thread thread_;
};
