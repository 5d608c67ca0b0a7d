#include "pacing.h"

#include <gtest/gtest.h>

namespace {

struct DueCase {
    uint64_t elapsed_ms;
    uint32_t timestamp;
    uint32_t speed;
    bool due;
};

TEST(PacingTest, FrameIsDueWhenScaledClockReachesIt) {
    const PacingAnchor anchor{5000, 1000};
    const DueCase cases[] = {
        {0, 1000, 1, true},    {0, 1001, 1, false},  {40, 1040, 1, true}, {39, 1040, 1, false},
        {10, 1040, 4, true},   {9, 1040, 4, false},  {1, 1016, 16, true}, {0, 999, 1, true},  // before the anchor
        {500, 1200, 1, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsFrameDue(anchor, anchor.clock_ms + c.elapsed_ms, c.timestamp, c.speed), c.due)
            << c.elapsed_ms << " " << c.timestamp << " x" << c.speed;
    }
}

TEST(PacingTest, OnlyAClockJumpCountsAsTooMuchLag) {
    const PacingAnchor anchor{1000, 0};
    EXPECT_FALSE(IsLagTooLarge(anchor, 1000 + 3600 * 1000, 0, 1, 0xFFFFFFFFu));
    EXPECT_TRUE(IsLagTooLarge(anchor, 1000 + 0x100000000ull, 0, 1, 0xFFFFFFFFu));
    EXPECT_TRUE(IsLagTooLarge(anchor, 1000 + 0x100000000ull / 16 + 1, 0, 16, 0xFFFFFFFFu));
}

TEST(PacingTest, LiveBaseKeepsStampsContinuous) {
    // Looping from the last frame (2960) to the first (0): frame 0 carries what frame 2960 carried.
    uint64_t base = ShiftLiveBase(100000, 2960, 0);
    EXPECT_EQ(base + 0, 100000u + 2960);
    // Jumping forward to a key frame at 2000 from 1200: it carries 1200's stamp.
    base = ShiftLiveBase(100000, 1200, 2000);
    EXPECT_EQ(base + 2000, 100000u + 1200);
    EXPECT_EQ(ShiftLiveBase(100000, 500, 500), 100000u);
}

std::vector<IndexInfo> MakeIndex(const std::vector<std::pair<uint32_t, int>>& frames) {
    // (timestamp, kind): 0 video, 1 video key frame, 2 audio
    std::vector<IndexInfo> index;
    for (const auto& [timestamp, kind] : frames) {
        IndexInfo info;
        info.media_type = kind == 2 ? 1 : 0;
        info.key_frame = kind == 1 ? 1 : 0;
        info.timestamp = timestamp;
        index.push_back(info);
    }
    return index;
}

const std::vector<IndexInfo> kIndex =
    MakeIndex({{0, 1}, {0, 2}, {100, 0}, {200, 0}, {300, 1}, {300, 2}, {400, 0}, {500, 1}, {600, 0}});

TEST(PacingTest, IFrameSearchLooksForwardThenBack) {
    const std::pair<size_t, size_t> cases[] = {{0, 0}, {1, 4}, {4, 4}, {5, 7}, {8, 7}};
    for (const auto& [from, expected] : cases) EXPECT_EQ(FindIFramePosition(kIndex, from), expected) << from;
    // The first frame counts when it is the only key frame behind.
    const auto only_first = MakeIndex({{0, 1}, {100, 0}, {200, 0}});
    EXPECT_EQ(FindIFramePosition(only_first, 2), 0u);
    EXPECT_EQ(FindIFramePosition(MakeIndex({{0, 0}, {100, 2}}), 1), 1u);
    // Audio flagged as key is not a picture to start from.
    EXPECT_EQ(FindIFramePosition(MakeIndex({{0, 1}, {100, 0}, {150, 2}, {200, 0}}), 1), 0u);
}

TEST(PacingTest, SeekStartsAtTheNextKeyFrame) {
    const std::pair<uint64_t, size_t> cases[] = {
        {0, 4}, {299, 4}, {300, 7}, {450, 7}, {500, 7}, {600, 7}, {100000, 7},
    };
    for (const auto& [seek, expected] : cases) EXPECT_EQ(FindSeekPosition(kIndex, seek), expected) << seek;
    // The last frame is never chosen, even when it is the only key frame after the seek time.
    EXPECT_EQ(FindSeekPosition(MakeIndex({{0, 1}, {100, 0}, {200, 1}}), 150), 0u);
    EXPECT_EQ(FindSeekPosition(MakeIndex({{0, 0}, {100, 0}}), 50), 0u);
    EXPECT_EQ(FindSeekPosition(MakeIndex({{0, 1}}), 50), 0u);
}

}  // namespace
