#include "common/thread_pool.h"

#include "utils/logger.h"
#include "utils/ov_hal.h"

std::atomic<ThreadPool*> ThreadPool::common_thread_pool_{nullptr};
std::mutex ThreadPool::instance_mutex_;

namespace {
const uint32_t kDrainPollMs = 20;
}

ThreadPool::ThreadPool(const std::string& name) : name_(name) {}

ThreadPool::~ThreadPool() { stop(); }

int ThreadPool::Start(uint32_t num) {
    if (start_) return 0;
    bail_out_ = false;
    thread_remain_ = num;
    for (uint32_t i = 0; i < num; ++i) {
        pthread_t thread;
        int ret = pthread_create(&thread, nullptr, WorkerMain, this);
        if (ret != 0) {
            LOGE("Create thread failed, ret = %d", ret);
            stop();
            return -1;
        }
        threads_.push_back(thread);
    }
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        start_ = true;
    }
    LOGI("ThreadPool start success");
    return 0;
}

bool ThreadPool::AddJob(JobEntry entry, void* arg) { return AddJob(JobEntity{entry, arg}); }

bool ThreadPool::AddJob(const JobEntity& job) {
    // start_ is tested under the mutex: once stop() has cleared it, no job can slip in behind the drain.
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (start_) {
            jobs_.push_back(job);
            queue_cond_.notify_one();
            return true;
        }
    }
    LOGW("Threadpool is not start");
    return false;
}

void ThreadPool::stop() {
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        start_ = false;
    }
    if (threads_.empty()) return;  // never started, or stopped already

    // Jobs queued before the stop still run.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            if (jobs_.empty()) break;
        }
        OV_HAL_SleepMs(kDrainPollMs);
    }

    // Set under the mutex so that a worker cannot test the flag and then miss the broadcast.
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        bail_out_ = true;
        queue_cond_.notify_all();
    }
    for (pthread_t thread : threads_) pthread_join(thread, nullptr);
    threads_.clear();
    thread_remain_ = 0;
    LOGI("ThreadPool stop success");
}

void* ThreadPool::WorkerMain(void* arg) {
    static_cast<ThreadPool*>(arg)->WorkerLoop();
    return nullptr;
}

void ThreadPool::WorkerLoop() {
    while (!bail_out_) {
        JobEntity job = TakeJob();
        // A wake-up without a job yields an empty one, which does not count as work.
        if (job.job_entry_ == nullptr) continue;
        --thread_remain_;
        job.DoJob();
        ++thread_remain_;
    }
}

JobEntity ThreadPool::TakeJob() {
    JobEntity job;
    std::unique_lock<std::mutex> lock(queue_mutex_);
    if (jobs_.empty() && !bail_out_) queue_cond_.wait(lock);
    if (!jobs_.empty()) {
        job = jobs_.front();
        jobs_.pop_front();
    }
    return job;
}

ThreadPool* ThreadPool::GetInstance() {
    std::lock_guard<std::mutex> lock(instance_mutex_);
    if (common_thread_pool_.load() == nullptr) common_thread_pool_ = new ThreadPool("Common");
    return common_thread_pool_.load();
}

void ThreadPool::DestroyInstance() {
    ThreadPool* pool = common_thread_pool_.load();
    if (pool == nullptr) return;
    // Drained while still reachable: a job that reaches for the pool meanwhile finds it refusing work.
    pool->stop();
    common_thread_pool_ = nullptr;
    delete pool;
}
