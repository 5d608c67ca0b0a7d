// A pool of worker threads taking jobs from one first-in first-out queue.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

typedef void (*JobEntry)(void* arg);

struct JobEntity {
    JobEntry job_entry_ = nullptr;
    void* arg_ = nullptr;

    void DoJob() const {
        if (job_entry_ != nullptr) job_entry_(arg_);
    }
};

class ThreadPool {
public:
    explicit ThreadPool(const std::string& name);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Starts num workers. 0 on success or when running already; -1 when a worker could not be created
    // (the ones created are stopped again). A stopped pool is not restarted: its owner makes a new one.
    int Start(uint32_t num);
    // Queues a job at the tail. A pool that is not running drops it with "Threadpool is not start";
    // the result tells whether the job was queued.
    bool AddJob(JobEntry entry, void* arg);
    bool AddJob(const JobEntity& job);
    // Workers not running a job at this moment; advisory, read to decide whether to start a session.
    uint32_t GetThreadRemain() const { return thread_remain_.load(); }
    // Refuses new jobs, runs the ones queued, then ends and joins the workers (waiting for running jobs
    // to return). Harmless when never started or stopped already.
    void stop();

    // The process-wide pool "Common", created unstarted on first use.
    static ThreadPool* GetInstance();
    // Stops and deletes it; a later GetInstance creates a new one.
    static void DestroyInstance();

private:
    static void* WorkerMain(void* arg);
    void WorkerLoop();
    JobEntity TakeJob();

    std::atomic<bool> start_{false};
    std::atomic<bool> bail_out_{false};
    std::atomic<uint32_t> thread_remain_{0};
    std::condition_variable queue_cond_;
    std::mutex queue_mutex_;  // guards jobs_, and start_ and bail_out_ where they pair with the queue
    std::list<JobEntity> jobs_;
    std::vector<pthread_t> threads_;
    std::string name_;

    static std::atomic<ThreadPool*> common_thread_pool_;
    static std::mutex instance_mutex_;
};
