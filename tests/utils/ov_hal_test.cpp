#include "utils/ov_hal.h"

#include <gtest/gtest.h>

#include <atomic>

#include "log_capture.h"

namespace {

struct Owner {
    std::atomic<bool> running{true};
    std::atomic<int> touches_after_flag{0};
};

// Clears its running flag first and keeps touching the owner a while after, as the P2P service thread
// does; OV_HAL_ThreadDelete must not return before that.
void* OwnerThread(void* arg) {
    auto* owner = static_cast<Owner*>(arg);
    owner->running = false;
    OV_HAL_SleepMs(50);
    ++owner->touches_after_flag;
    return nullptr;
}

TEST(OvHalTest, DeleteWaitsUntilTheThreadHasEnded) {
    Owner owner;
    void* handle = nullptr;
    int stack_used = -5;
    ov_hal_os_thread_param_t param = {ov_os_thread_priority_high, nullptr, 0, 1, "ignored"};
    ASSERT_EQ(OV_HAL_ThreadCreate(&handle, OwnerThread, &owner, &param, &stack_used), 0);
    EXPECT_EQ(stack_used, 0);
    while (owner.running) OV_HAL_SleepMs(1);
    OV_HAL_ThreadDelete(handle);
    EXPECT_EQ(owner.touches_after_flag, 1);
}

TEST(OvHalTest, CreateWithoutParamOrStackCounter) {
    Owner owner;
    void* handle = nullptr;
    ASSERT_EQ(OV_HAL_ThreadCreate(&handle, OwnerThread, &owner, nullptr, nullptr), 0);
    OV_HAL_ThreadDelete(handle);
    EXPECT_EQ(owner.touches_after_flag, 1);
}

TEST(OvHalTest, DetachedThreadEndsOnItsOwn) {
    static Owner owner;
    void* handle = nullptr;
    ASSERT_EQ(OV_HAL_ThreadCreate(&handle, OwnerThread, &owner, nullptr, nullptr), 0);
    OV_HAL_ThreadDetach(handle);
    for (int i = 0; i < 500 && owner.touches_after_flag == 0; ++i) OV_HAL_SleepMs(5);
    EXPECT_EQ(owner.touches_after_flag, 1);
}

TEST(OvHalTest, DeleteOfNullHandleDoesNothing) {
    OV_HAL_ThreadDelete(nullptr);
    OV_HAL_ThreadDetach(nullptr);
}

TEST(OvHalTest, SleepAndUptimeAgree) {
    uint64_t before = OV_HAL_UptimeMs();
    OV_HAL_SleepMs(120);
    uint64_t slept = OV_HAL_UptimeMs() - before;
    EXPECT_GE(slept, 120u);
    EXPECT_LT(slept, 1000u);
    OV_HAL_SleepMs(0);
}

TEST(OvHalTest, UptimeIsMonotonic) {
    uint64_t last = OV_HAL_UptimeMs();
    for (int i = 0; i < 1000; ++i) {
        uint64_t now = OV_HAL_UptimeMs();
        ASSERT_GE(now, last);
        last = now;
    }
}

}  // namespace
