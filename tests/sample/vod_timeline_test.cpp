#include "vod_timeline.h"

#include <gtest/gtest.h>

namespace {

const std::vector<Recording> kRecordings = {{"first", 60}, {"second", 30}};

TEST(VodTimelineTest, FindsTheRecordingOfASeek) {
    struct Case {
        uint64_t seek_ms;
        size_t recording;
        uint64_t base_ms;
    };
    const Case cases[] = {{0, 0, 0}, {59999, 0, 0}, {60000, 0, 0}, {60001, 1, 60000}, {75000, 1, 60000},
                          {90000, 1, 60000}};
    for (const auto& c : cases) {
        auto position = LocateOnTimeline(kRecordings, c.seek_ms);
        ASSERT_TRUE(position.has_value()) << c.seek_ms;
        EXPECT_EQ(position->recording, c.recording) << c.seek_ms;
        EXPECT_EQ(position->base_ms, c.base_ms) << c.seek_ms;
    }
}

TEST(VodTimelineTest, ASeekPastTheLastRecordingFindsNothing) {
    EXPECT_FALSE(LocateOnTimeline(kRecordings, 90001).has_value());
    EXPECT_FALSE(LocateOnTimeline(kRecordings, 95000).has_value());
    EXPECT_FALSE(LocateOnTimeline({}, 0).has_value());
}

TEST(VodTimelineTest, ListsRecordingsBackToBack) {
    auto records = BuildRecordList(kRecordings, 1000);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0].file_name, "first");
    EXPECT_EQ(records[0].start_time, 1000);
    EXPECT_EQ(records[0].stop_time, 1060);
    EXPECT_STREQ(records[1].file_name, "second");
    EXPECT_EQ(records[1].start_time, 1060);
    EXPECT_EQ(records[1].stop_time, 1090);
    for (const auto& record : records) {
        EXPECT_EQ(record.file_size, 0);
        EXPECT_EQ(record.record_type, OV_STORAGE_RECORD_INITIATIVE);
    }
}

TEST(VodTimelineTest, CutsLongNamesTo63Characters) {
    auto records = BuildRecordList({{std::string(100, 'n'), 5}}, 0);
    EXPECT_EQ(std::string(records[0].file_name), std::string(63, 'n'));
}

}  // namespace
