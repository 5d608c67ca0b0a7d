#include "utils/logger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Runs the default printer with stdout and stderr captured by gtest.
struct PrintedRecord {
    std::string out;
    std::string err;
};

PrintedRecord PrintAt(int level, const char* message) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    logger_printf(level, "stream_session.cpp", 141, "%s", message);
    return {testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

class LoggerTest : public testing::Test {
protected:
    void SetUp() override { logger_set_level(LEVEL_DEBUG); }
    void TearDown() override { logger_set_level(LEVEL_DEBUG); }
};

TEST_F(LoggerTest, PrefixIsColouredAndMessageIsPlain) {
    PrintedRecord record = PrintAt(LEVEL_DEBUG, "hello");
    const std::string& line = record.out;
    ASSERT_EQ(line.rfind("\033[32m[OV-DEBUG  |", 0), 0u) << line;
    // "%y-%m-%d-%H:%M:%S.mmm" is 21 characters.
    size_t time_end = line.find(']');
    ASSERT_NE(time_end, std::string::npos);
    EXPECT_EQ(time_end - strlen("\033[32m[OV-DEBUG  |"), 21u);
    EXPECT_NE(line.find("] (stream_session.cpp:141) : \033[0mhello\n"), std::string::npos) << line;
    EXPECT_TRUE(record.err.empty());
}

TEST_F(LoggerTest, ErrorsGoToStandardErrorOthersToStandardOutput) {
    struct Case {
        int level;
        const char* prefix;
        bool on_stderr;
    };
    const Case cases[] = {
        {LEVEL_ERROR, "\033[31m[OV-ERROR  |", true},
        {LEVEL_WARN, "\033[31m[OV-WARN   |", false},
        {LEVEL_INFO, "\033[33m[OV-INFO   |", false},
        {LEVEL_DEBUG, "\033[32m[OV-DEBUG  |", false},
    };
    for (const Case& c : cases) {
        PrintedRecord record = PrintAt(c.level, "x");
        const std::string& written = c.on_stderr ? record.err : record.out;
        const std::string& other = c.on_stderr ? record.out : record.err;
        EXPECT_EQ(written.rfind(c.prefix, 0), 0u) << "level " << c.level;
        EXPECT_TRUE(other.empty()) << "level " << c.level;
    }
}

TEST_F(LoggerTest, ThresholdDropsVerboseUntilRaised) {
    EXPECT_TRUE(PrintAt(LEVEL_VERBOSE, "v").out.empty());
    logger_set_level(LEVEL_VERBOSE);
    EXPECT_EQ(PrintAt(LEVEL_VERBOSE, "v").out.rfind("\033[32m[OV-VERBOSE|", 0), 0u);
}

TEST_F(LoggerTest, OutOfRangeLevelsAreIgnored) {
    for (int bad : {7, -1, static_cast<int>(LEVEL_MAX)}) {
        logger_set_level(LEVEL_INFO);
        logger_set_level(bad);
        EXPECT_EQ(g_logger_level, LEVEL_INFO) << bad;
    }
    EXPECT_TRUE(PrintAt(-1, "x").out.empty());
    EXPECT_TRUE(PrintAt(5, "x").out.empty());
}

TEST_F(LoggerTest, NullUserSinkKeepsTheCurrentOne) {
    logger_cb before = g_logger_cb;
    logger_set_user_define(nullptr);
    EXPECT_EQ(g_logger_cb, before);
}

}  // namespace

namespace {

std::vector<int> g_sink_levels;

void RecordingSink(int level, const char*, int, const char*, ...) { g_sink_levels.push_back(level); }

TEST(LoggerSinkTest, UserSinkReceivesEveryLevelWhateverTheThreshold) {
    logger_cb before = g_logger_cb;
    logger_set_level(LEVEL_ERROR);
    logger_set_user_define(RecordingSink);
    for (int level = LEVEL_ERROR; level <= LEVEL_VERBOSE; ++level) OV_LOG(level, "record %d", level);
    logger_set_user_define(before);
    logger_set_level(LEVEL_DEBUG);
    EXPECT_EQ(g_sink_levels, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
