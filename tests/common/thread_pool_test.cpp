#include "common/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "utils/logger.h"
#include "utils/ov_hal.h"

namespace {

// A gate that jobs wait on until the test opens it.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cond_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool open_ = false;
};

struct BlockingJob {
    Gate* gate;
    std::atomic<int>* started;
    static void Run(void* arg) {
        auto* job = static_cast<BlockingJob*>(arg);
        ++*job->started;
        job->gate->Wait();
    }
};

bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 5000) {
    for (int waited = 0; waited < timeout_ms; waited += 5) {
        if (condition()) return true;
        OV_HAL_SleepMs(5);
    }
    return condition();
}

void Count(void* arg) { ++*static_cast<std::atomic<int>*>(arg); }

TEST(ThreadPoolTest, StartTwiceCreatesNoMoreWorkers) {
    testsupport::LogCapture logs;
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(10), 0);
    EXPECT_EQ(pool.GetThreadRemain(), 10u);
    EXPECT_EQ(pool.Start(10), 0);
    EXPECT_EQ(pool.GetThreadRemain(), 10u);
    EXPECT_EQ(logs.Count("ThreadPool start success"), 1) << logs.Dump();

    // Exactly ten workers: ten blocking jobs all start, an eleventh waits.
    Gate gate;
    std::atomic<int> started{0};
    BlockingJob job{&gate, &started};
    for (int i = 0; i < 11; ++i) pool.AddJob(BlockingJob::Run, &job);
    ASSERT_TRUE(WaitFor([&] { return started == 10; }));
    OV_HAL_SleepMs(50);
    EXPECT_EQ(started, 10);
    EXPECT_EQ(pool.GetThreadRemain(), 0u);
    gate.Open();
    pool.stop();
    EXPECT_EQ(started, 11);
    EXPECT_TRUE(logs.Has("ThreadPool stop success", LEVEL_INFO));
}

TEST(ThreadPoolTest, IdleCountFollowsRunningJobs) {
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(10), 0);
    Gate gate;
    std::atomic<int> started{0};
    BlockingJob job{&gate, &started};
    // Nine relay-like loops leave one idle worker: an owner needing more than one must refuse.
    for (int i = 0; i < 9; ++i) pool.AddJob(BlockingJob::Run, &job);
    ASSERT_TRUE(WaitFor([&] { return started == 9 && pool.GetThreadRemain() == 1u; }));
    EXPECT_FALSE(pool.GetThreadRemain() > 1);
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return pool.GetThreadRemain() == 10u; }));
}

TEST(ThreadPoolTest, JobsRunOnWorkersInParallel) {
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(4), 0);
    std::mutex mutex;
    std::set<std::thread::id> ids;
    struct Arg {
        std::mutex* mutex;
        std::set<std::thread::id>* ids;
        Gate* gate;
        std::atomic<int>* started;
    };
    Gate gate;
    std::atomic<int> started{0};
    Arg arg{&mutex, &ids, &gate, &started};
    for (int i = 0; i < 4; ++i) {
        pool.AddJob(
            [](void* p) {
                auto* a = static_cast<Arg*>(p);
                {
                    std::lock_guard<std::mutex> lock(*a->mutex);
                    a->ids->insert(std::this_thread::get_id());
                }
                ++*a->started;
                a->gate->Wait();
            },
            &arg);
    }
    ASSERT_TRUE(WaitFor([&] { return started == 4; }));
    gate.Open();
    pool.stop();
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids.count(std::this_thread::get_id()), 0u);
}

TEST(ThreadPoolTest, StopRunsQueuedJobsAndWaitsForRunningOnes) {
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(1), 0);
    Gate gate;
    std::atomic<int> started{0};
    BlockingJob blocker{&gate, &started};
    std::atomic<int> counted{0};
    pool.AddJob(BlockingJob::Run, &blocker);
    for (int i = 0; i < 5; ++i) pool.AddJob(Count, &counted);
    ASSERT_TRUE(WaitFor([&] { return started == 1; }));
    std::thread opener([&] {
        OV_HAL_SleepMs(100);
        gate.Open();
    });
    pool.stop();
    EXPECT_EQ(counted, 5);
    opener.join();
}

TEST(ThreadPoolTest, JobsAfterStopAreDropped) {
    testsupport::LogCapture logs;
    ThreadPool pool("Test");
    std::atomic<int> counted{0};
    EXPECT_FALSE(pool.AddJob(Count, &counted));  // not started
    ASSERT_EQ(pool.Start(2), 0);
    EXPECT_TRUE(pool.AddJob(Count, &counted));
    pool.stop();
    EXPECT_EQ(counted, 1);
    logs.Clear();
    EXPECT_FALSE(pool.AddJob(JobEntity{Count, &counted}));
    EXPECT_TRUE(logs.Has("Threadpool is not start", LEVEL_WARN)) << logs.Dump();
    OV_HAL_SleepMs(30);
    EXPECT_EQ(counted, 1);
}

TEST(ThreadPoolTest, PrematureAndRepeatedStopsAreHarmless) {
    testsupport::LogCapture logs;
    {
        ThreadPool never("Never");
        never.stop();
        never.stop();
    }  // the destructor stops a third time
    ThreadPool pool("Twice");
    ASSERT_EQ(pool.Start(3), 0);
    pool.stop();
    pool.stop();
    EXPECT_EQ(logs.Count("ThreadPool stop success"), 1) << logs.Dump();
    EXPECT_EQ(pool.GetThreadRemain(), 0u);
}

TEST(ThreadPoolTest, JobQueuedFromAJobDuringStopIsRefused) {
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(1), 0);
    struct Arg {
        ThreadPool* pool;
        std::atomic<int> counted{0};
        std::atomic<bool> refused{false};
    } arg;
    arg.pool = &pool;
    pool.AddJob(
        [](void* p) {
            auto* a = static_cast<Arg*>(p);
            OV_HAL_SleepMs(60);  // stop() has cleared start_ by now
            a->refused = !a->pool->AddJob(Count, &a->counted);
        },
        &arg);
    OV_HAL_SleepMs(10);
    pool.stop();
    EXPECT_TRUE(arg.refused);
    EXPECT_EQ(arg.counted, 0);
}

TEST(ThreadPoolTest, CommonInstanceIsCreatedUnstartedAndRecreatedAfterDestroy) {
    ThreadPool* common = ThreadPool::GetInstance();
    ASSERT_NE(common, nullptr);
    EXPECT_EQ(ThreadPool::GetInstance(), common);
    EXPECT_EQ(common->GetThreadRemain(), 0u);
    ASSERT_EQ(common->Start(10), 0);
    EXPECT_EQ(common->GetThreadRemain(), 10u);
    ThreadPool::DestroyInstance();
    ThreadPool::DestroyInstance();  // nothing left: harmless
    ThreadPool* again = ThreadPool::GetInstance();
    EXPECT_EQ(again->GetThreadRemain(), 0u);
    ThreadPool::DestroyInstance();
}

TEST(ThreadPoolTest, ManyProducersLoseNoJob) {
    ThreadPool pool("Test");
    ASSERT_EQ(pool.Start(4), 0);
    std::atomic<int> counted{0};
    std::vector<std::thread> producers;
    for (int p = 0; p < 4; ++p) {
        producers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) pool.AddJob(Count, &counted);
        });
    }
    for (auto& t : producers) t.join();
    pool.stop();
    EXPECT_EQ(counted, 2000);
}

}  // namespace
