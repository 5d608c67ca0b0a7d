#include "common/timer_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "utils/logger.h"
#include "utils/ov_hal.h"

namespace {

// Records "process X" and "recycle X" with the thread each ran on.
struct Journal {
    std::mutex mutex;
    std::vector<std::string> entries;
    std::vector<std::thread::id> threads;
    std::atomic<int> running{0};
    std::atomic<int> overlaps{0};

    void Add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(entry);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> Entries() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

struct Step {
    Journal* journal;
    std::string name;
    int sleep_ms;
};

void Process(void* arg) {
    auto* step = static_cast<Step*>(arg);
    if (++step->journal->running > 1) ++step->journal->overlaps;
    OV_HAL_SleepMs(step->sleep_ms);
    step->journal->Add("process " + step->name);
    --step->journal->running;
}

void Recycle(void* arg) {
    auto* step = static_cast<Step*>(arg);
    step->journal->Add("recycle " + step->name);
    delete step;
}

int AddStep(TimerService* service, Journal* journal, const std::string& name, int sleep_ms = 0) {
    TimerTaskProperty task;
    task.process = Process;
    task.recycle = Recycle;
    task.arg = new Step{journal, name, sleep_ms};
    int result = service->AddTask(task, 0);
    if (result != 0) delete static_cast<Step*>(task.arg);
    return result;
}

class TimerServiceTest : public testing::Test {
protected:
    void TearDown() override {
        TimerService::DestroyNetworkInstance();
        TimerService::DestroyEventInstance();
        TimerService::DestroyUserInstance();
    }
};

TEST_F(TimerServiceTest, TasksRunInOrderOnOneThreadEachRecycledRightAfterItsProcess) {
    TimerService* service = TimerService::GetUserInstance();
    ASSERT_EQ(service->Start(), 0);
    Journal journal;
    // The first task is the slowest: a later task must still wait for it.
    ASSERT_EQ(AddStep(service, &journal, "A", 40), 0);
    ASSERT_EQ(AddStep(service, &journal, "B", 10), 0);
    ASSERT_EQ(AddStep(service, &journal, "C", 0), 0);
    TimerService::DestroyUserInstance();
    EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"process A", "recycle A", "process B", "recycle B",
                                                           "process C", "recycle C"}));
    for (const auto& id : journal.threads) EXPECT_EQ(id, journal.threads.front());
    EXPECT_NE(journal.threads.front(), std::this_thread::get_id());
    EXPECT_EQ(journal.overlaps, 0);
}

TEST_F(TimerServiceTest, DestroyRunsEveryQueuedTaskBeforeItsThreadEnds) {
    TimerService* service = TimerService::GetEventInstance();
    ASSERT_EQ(service->Start(), 0);
    Journal journal;
    for (const char* name : {"1", "2", "3"}) ASSERT_EQ(AddStep(service, &journal, name, 30), 0);
    TimerService::DestroyEventInstance();
    EXPECT_EQ(journal.Entries().size(), 6u);
}

TEST_F(TimerServiceTest, TaskAddedAfterStopIsDroppedWithoutItsRecycle) {
    testsupport::LogCapture logs;
    TimerService unstarted("Unstarted");
    Journal journal;
    EXPECT_EQ(AddStep(&unstarted, &journal, "early"), -1);
    EXPECT_TRUE(logs.Has("Threadpool is not start", LEVEL_WARN)) << logs.Dump();
    EXPECT_TRUE(journal.Entries().empty());
}

TEST_F(TimerServiceTest, NullFunctionsAndNullArgumentAreCarried) {
    TimerService* service = TimerService::GetNetworkInstance();
    ASSERT_EQ(service->Start(), 0);
    static std::atomic<int> seen_null{0};
    seen_null = 0;
    TimerTaskProperty only_recycle;
    only_recycle.recycle = [](void* arg) { seen_null += arg == nullptr ? 1 : 0; };
    TimerTaskProperty only_process;
    only_process.process = [](void* arg) { seen_null += arg == nullptr ? 1 : 0; };
    EXPECT_EQ(service->AddTask(only_recycle, 0), 0);
    EXPECT_EQ(service->AddTask(only_process, 0), 0);
    EXPECT_EQ(service->AddTask(TimerTaskProperty{}, 0), 0);
    TimerService::DestroyNetworkInstance();
    EXPECT_EQ(seen_null, 2);
}

TEST_F(TimerServiceTest, ServicesRunInParallelWithEachOther) {
    TimerService* event = TimerService::GetEventInstance();
    TimerService* network = TimerService::GetNetworkInstance();
    ASSERT_EQ(event->Start(), 0);
    ASSERT_EQ(network->Start(), 0);
    // Each task waits for the other service's task: only parallel threads can finish both.
    static std::atomic<int> arrived{0};
    arrived = 0;
    TimerTaskProperty meet;
    meet.process = [](void*) {
        ++arrived;
        for (int i = 0; i < 500 && arrived < 2; ++i) OV_HAL_SleepMs(2);
    };
    ASSERT_EQ(event->AddTask(meet, 0), 0);
    ASSERT_EQ(network->AddTask(meet, 0), 0);
    TimerService::DestroyEventInstance();
    TimerService::DestroyNetworkInstance();
    EXPECT_EQ(arrived, 2);
}

TEST_F(TimerServiceTest, InstancesAreCreatedOnFirstUseAndRecreatedAfterDestroy) {
    TimerService* user = TimerService::GetUserInstance();
    EXPECT_EQ(TimerService::GetUserInstance(), user);
    EXPECT_NE(TimerService::GetEventInstance(), user);
    EXPECT_NE(TimerService::GetNetworkInstance(), user);
    TimerService::DestroyUserInstance();
    TimerService::DestroyUserInstance();  // absent: nothing
    Journal journal;
    // A fresh instance is unstarted.
    EXPECT_EQ(AddStep(TimerService::GetUserInstance(), &journal, "x"), -1);
}

TEST_F(TimerServiceTest, TaskQueuingAnotherDuringDestroyIsRefused) {
    TimerService* service = TimerService::GetUserInstance();
    ASSERT_EQ(service->Start(), 0);
    static std::atomic<int> inner_result{1};
    inner_result = 1;
    TimerTaskProperty outer;
    outer.process = [](void*) {
        OV_HAL_SleepMs(60);  // the destroy has begun
        TimerTaskProperty inner;
        inner.process = [](void*) { inner_result = 99; };
        inner_result = TimerService::GetUserInstance()->AddTask(inner, 0);
    };
    ASSERT_EQ(service->AddTask(outer, 0), 0);
    OV_HAL_SleepMs(10);
    TimerService::DestroyUserInstance();
    EXPECT_EQ(inner_result, -1);
}

TEST_F(TimerServiceTest, ConcurrentProducersKeepEachProducersOrder) {
    TimerService* service = TimerService::GetNetworkInstance();
    ASSERT_EQ(service->Start(), 0);
    Journal journal;
    std::vector<std::thread> producers;
    for (int p = 0; p < 3; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < 100; ++i) AddStep(service, &journal, std::to_string(p) + ":" + std::to_string(i));
        });
    }
    for (auto& t : producers) t.join();
    TimerService::DestroyNetworkInstance();
    auto entries = journal.Entries();
    ASSERT_EQ(entries.size(), 600u);
    int next[3] = {0, 0, 0};
    for (size_t i = 0; i < entries.size(); i += 2) {
        const std::string name = entries[i].substr(strlen("process "));
        EXPECT_EQ(entries[i + 1], "recycle " + name);
        int p = name[0] - '0';
        EXPECT_EQ(name, std::to_string(p) + ":" + std::to_string(next[p]));
        ++next[p];
    }
    EXPECT_EQ(journal.overlaps, 0);
}

}  // namespace
