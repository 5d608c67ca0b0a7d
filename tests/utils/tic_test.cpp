#include "utils/tic.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "utils/ov_hal.h"

namespace {

TEST(TicTest, MarkSplitsUptimeIntoSecondsAndMicroseconds) {
    uint64_t before = OV_HAL_UptimeMs();
    Tic mark = tic();
    uint64_t after = OV_HAL_UptimeMs();
    int64_t mark_ms = mark.tv_sec * 1000 + mark.tv_usec / 1000;
    EXPECT_GE(mark_ms, static_cast<int64_t>(before));
    EXPECT_LE(mark_ms, static_cast<int64_t>(after));
    EXPECT_EQ(mark.tv_usec % 1000, 0);
    EXPECT_LT(mark.tv_usec, 1000000);
}

TEST(TicTest, TocOfAMarkTakenOneAndAHalfSecondsEarlier) {
    Tic start = tic();
    OV_HAL_SleepMs(1500);
    int64_t elapsed = toc(start);
    EXPECT_GE(elapsed, 1500);
    EXPECT_LE(elapsed, 1600);
}

TEST(TicTest, TocAcrossASecondBoundaryBorrowsMicroseconds) {
    // 0.900 s before "now" expressed with a larger microsecond part than now may have.
    Tic now = tic();
    Tic start{now.tv_sec - 1, 999000};
    int64_t elapsed = toc(start);
    EXPECT_GE(elapsed, now.tv_usec / 1000 + 1);
    EXPECT_LT(elapsed, now.tv_usec / 1000 + 1 + 100);
}

TEST(TicTest, LocalTimeTextHasTheShortYearLayout) {
    std::string text = GetUtcTimeString();
    ASSERT_EQ(text.size(), 17u) << text;  // 20-01-06-09:30:05
    const std::string layout = "dd-dd-dd-dd:dd:dd";
    for (size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] == 'd') {
            EXPECT_TRUE(isdigit(static_cast<unsigned char>(text[i]))) << text;
        } else {
            EXPECT_EQ(text[i], layout[i]) << text;
        }
    }
}

TEST(TicTest, SystemTimeTextIsTheDecimalOfTheSteadyMilliseconds) {
    uint64_t before = GetSystemTimeInt();
    std::string text = GetSystemTimeString();
    uint64_t after = GetSystemTimeInt();
    uint64_t parsed = std::stoull(text);
    EXPECT_GE(parsed, before);
    EXPECT_LE(parsed, after);
    EXPECT_EQ(text, std::to_string(parsed));
}

}  // namespace
