#include <gtest/gtest.h>

#include <string>

#include "cloud_log_capture.h"
#include "infra/utils/sdk_log.h"
#include "tessera_log.h"

using testsupport::CloudLogCapture;

namespace {

TEST(CloudLogger, LineNamesModuleFunctionAndLineAndEndsInCrLf) {
    CloudLogCapture capture;
    int line = __LINE__ + 1;
    SDK_INFO("httpc", "host: '%s', port: %d", "example", 443);
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "host: 'example', port: 443");
    EXPECT_EQ(lines[0].module, "httpc");
    EXPECT_EQ(lines[0].text, "[inf] httpc|TestBody(" + std::to_string(line) + "): host: 'example', port: 443\r\n");
}

TEST(CloudLogger, LongLineIsCutAt512CharactersAndMarked) {
    CloudLogCapture capture;
    SDK_ERR("m", "%s", std::string(2000, 'x').c_str());
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string& text = lines[0].text;
    ASSERT_EQ(text.size(), 512u + 4 + 2);
    EXPECT_EQ(text.substr(512), " ...\r\n");
    EXPECT_EQ(text.substr(500, 12), std::string(12, 'x'));
}

TEST(CloudLogger, LineOfExactly512CharactersIsNotMarked) {
    CloudLogCapture capture;
    std::string prefix = "[err] m|TestBody(" + std::to_string(__LINE__ + 1) + "): ";
    SDK_ERR("m", "%s", std::string(512 - prefix.size(), 'y').c_str());
    EXPECT_EQ(capture.Lines().at(0).text, prefix + std::string(512 - prefix.size(), 'y') + "\r\n");
}

TEST(CloudLogger, DefaultThresholdShowsInfoButNotDebug) {
    CloudLogCapture capture;
    ASSERT_EQ(IOT_SetLogLevel(TESSERA_LOG_INFO), 0);  // the default, as the capture restores it
    SDK_DEBUG("m", "hidden");
    SDK_INFO("m", "shown");
    EXPECT_FALSE(capture.Has("hidden"));
    EXPECT_TRUE(capture.Has("shown"));
}

TEST(CloudLogger, LevelNoneSilencesEverything) {
    CloudLogCapture capture;
    ASSERT_EQ(IOT_SetLogLevel(TESSERA_LOG_NONE), 0);
    SDK_ERR("m", "dropped");
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(CloudLogger, OutOfRangeLevelIsRefusedAndThresholdKept) {
    CloudLogCapture capture;
    for (int level : {-1, 6}) {
        EXPECT_EQ(IOT_SetLogLevel(level), -1);
        EXPECT_TRUE(capture.Has("Invalid input level: " + std::to_string(level) + " out of [0, 5]")) << capture.Dump();
    }
    SDK_DEBUG("m", "still debug");
    EXPECT_TRUE(capture.Has("still debug"));
}

TEST(CloudLogger, DefaultSinkWritesToStandardOutput) {
    testing::internal::CaptureStdout();
    SDK_ERR("m", "to stdout");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("to stdout\r\n"), std::string::npos) << out;
}

}  // namespace
