#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "cloud_log_capture.h"
#include "tessera_hal.h"

using testsupport::CloudLogCapture;

namespace {

TEST(HalRandom, StaysBelowRegionAndIsZeroForZero) {
    HAL_Srandom(7);
    EXPECT_EQ(HAL_Random(0), 0u);
    EXPECT_EQ(HAL_Random(1), 0u);
    std::set<uint32_t> seen;
    for (int i = 0; i < 1000; ++i) {
        uint32_t value = HAL_Random(10);
        ASSERT_LT(value, 10u);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 10u);
}

TEST(HalRandom, SameSeedGivesSameSequence) {
    HAL_Srandom(42);
    uint32_t first = HAL_Random(1u << 30);
    HAL_Srandom(42);
    EXPECT_EQ(HAL_Random(1u << 30), first);
}

TEST(HalClock, UptimeIsMonotonicAndSleepWaitsAtLeastTheTime) {
    uint64_t before = HAL_UptimeMs();
    HAL_SleepMs(20);
    EXPECT_GE(HAL_UptimeMs() - before, 20u);
}

TEST(HalText, SnprintfCutsAndReportsWantedLength) {
    char buffer[6];
    EXPECT_EQ(HAL_Snprintf(buffer, sizeof(buffer), "%s-%d", "abc", 1234), 8);
    EXPECT_STREQ(buffer, "abc-1");
}

TEST(HalMutex, NullMutexIsReportedNotCrashed) {
    CloudLogCapture capture;
    HAL_MutexDestroy(nullptr);
    HAL_MutexLock(nullptr);
    HAL_MutexUnlock(nullptr);
    EXPECT_TRUE(capture.Has("mutex want to destroy is NULL!"));
    EXPECT_TRUE(capture.HasSubstring("lock mutex failed: - '"));
    EXPECT_TRUE(capture.HasSubstring("unlock mutex failed - '"));
}

TEST(HalMutex, GuardsACounterAcrossThreads) {
    void* mutex = HAL_MutexCreate();
    ASSERT_NE(mutex, nullptr);
    struct Shared {
        void* mutex;
        int counter = 0;
    } shared{mutex};
    auto work = [](void* arg) -> void* {
        auto* s = static_cast<Shared*>(arg);
        for (int i = 0; i < 10000; ++i) {
            HAL_MutexLock(s->mutex);
            ++s->counter;
            HAL_MutexUnlock(s->mutex);
        }
        return nullptr;
    };
    void* threads[4];
    for (void*& thread : threads) ASSERT_EQ(HAL_ThreadCreate(&thread, work, &shared, nullptr, nullptr), 0);
    for (void* thread : threads) HAL_ThreadDelete(thread);
    EXPECT_EQ(shared.counter, 40000);
    HAL_MutexDestroy(mutex);
}

// HAL_ThreadDelete must not return while the thread can still touch its owner's state.
TEST(HalThread, DeleteWaitsForTheThreadToEnd) {
    struct Owner {
        std::atomic<bool> running{true};
        std::atomic<int> touched_after_flag{0};
    } owner;
    auto routine = [](void* arg) -> void* {
        auto* o = static_cast<Owner*>(arg);
        o->running = false;  // the owner may now call HAL_ThreadDelete...
        HAL_SleepMs(50);
        o->touched_after_flag = 1;  // ...and this must still happen before it returns
        return nullptr;
    };
    void* thread = nullptr;
    int stack_used = -1;
    ASSERT_EQ(HAL_ThreadCreate(&thread, routine, &owner, nullptr, &stack_used), 0);
    EXPECT_EQ(stack_used, 0);
    while (owner.running) HAL_SleepMs(1);
    HAL_ThreadDelete(thread);
    EXPECT_EQ(owner.touched_after_flag, 1);
    HAL_ThreadDelete(nullptr);
}

TEST(HalThread, DetachedThreadRunsOnItsOwn) {
    static std::atomic<bool> ran{false};
    void* thread = nullptr;
    ASSERT_EQ(HAL_ThreadCreate(&thread, [](void*) -> void* { ran = true; return nullptr; }, nullptr, nullptr, nullptr), 0);
    HAL_ThreadDetach(thread);
    while (!ran) HAL_SleepMs(1);
}

}  // namespace
