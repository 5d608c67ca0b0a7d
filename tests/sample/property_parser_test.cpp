// The table is process-wide: the tests run in this order and each builds on the previous.
#include "property_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using Report = std::pair<std::string, std::string>;

std::vector<Report> reports;

void Record(const std::string& key, const std::string& value) { reports.emplace_back(key, value); }

std::vector<Report> FullReport() {
    reports.clear();
    PropertyParser::GetAllProperty();
    return reports;
}

TEST(PropertyParserTest, ReportsNothingWithoutAHandler) {
    reports.clear();
    PropertyParser::SetHandler(nullptr);
    PropertyParser::GetAllProperty();
    PropertyParser::SetProperty("MicSwitch", "0");
    EXPECT_TRUE(reports.empty());
}

TEST(PropertyParserTest, FullReportInKeyOrder) {
    PropertyParser::SetHandler(Record);
    const std::vector<Report> expected = {
        {"AlarmFrequencyLevel", "0"},
        {"AlarmNotifyPlan",
         "{{\"DayOfWeek\":0,\"BeginTime\":21600,\"EndTime\":36000},{\"DayOfWeek\":1,\"BeginTime\":21600,"
         "\"EndTime\":36000}}"},
        {"AlarmSwitch", "0"},
        {"DayNightMode", "0"},
        {"EncryptSwitch", "0"},
        {"ImageFlipState", "0"},
        {"MicSwitch", "0"},
        {"MotionDetectSensitivity", "0"},
        {"SpeakerSwitch", "0"},
        {"StatusLightSwitch", "0"},
        {"StorageRecordMode", "0"},
        {"StorageRemainCapacity", "64.12"},
        {"StorageStatus", "1"},
        {"StorageTotalCapacity", "128.000"},
        {"StreamVideoQuality", "0"},
        {"SubStreamVideoQuality", "0"},
        {"VoiceDetectionSensitivity", "0"},
    };
    EXPECT_EQ(FullReport(), expected);
}

TEST(PropertyParserTest, KnownKeyIsStoredAndReported) {
    PropertyParser::SetHandler(Record);
    reports.clear();
    PropertyParser::SetProperty("MicSwitch", "1");
    EXPECT_EQ(reports, (std::vector<Report>{{"MicSwitch", "1"}}));
    auto full = FullReport();
    EXPECT_NE(std::find(full.begin(), full.end(), Report{"MicSwitch", "1"}), full.end());
    EXPECT_EQ(full.size(), 17u);
}

TEST(PropertyParserTest, UnknownKeyIsReportedOnceButNotKept) {
    PropertyParser::SetHandler(Record);
    reports.clear();
    PropertyParser::SetProperty("NightVision", "2");
    EXPECT_EQ(reports, (std::vector<Report>{{"NightVision", "2"}}));
    auto full = FullReport();
    EXPECT_EQ(full.size(), 17u);
    for (const auto& report : full) EXPECT_NE(report.first, "NightVision");
    PropertyParser::SetHandler(nullptr);
}

}  // namespace
