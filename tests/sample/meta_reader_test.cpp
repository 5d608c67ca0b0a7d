#include "meta_reader.h"

#include <gtest/gtest.h>

namespace {

const std::string kValidMeta =
    "video.format=h265\nvideo.fps=15\naudio.format=aac\naudio.sample_rate=16000\naudio.bits_per_sample=16\n"
    "audio.channel=1\nduration=60\n";

TEST(MetaReaderTest, ReadsEveryKey) {
    MetaParseResult meta = ParseMeta(kValidMeta, "p.meta");
    EXPECT_TRUE(meta.valid);
    EXPECT_TRUE(meta.messages.empty());
    EXPECT_EQ(meta.video.format, OV_VIDEO_FORMAT_H265);
    EXPECT_EQ(meta.video.fps, 15u);
    EXPECT_EQ(meta.audio.format, OV_AUDIO_FORMAT_AAC);
    EXPECT_EQ(meta.audio.sample_rate, OV_AUDIO_SAMPLE_RATE_16000);
    EXPECT_EQ(meta.audio.sample_bits, OV_AUDIO_SAMPLE_BITS_16BIT);
    EXPECT_EQ(meta.audio.channel, OV_AUDIO_CHANNEL_MONO);
    EXPECT_EQ(meta.duration, 60.0);
}

struct MetaCase {
    const char* name;
    std::string text;
    bool valid;
    std::vector<std::string> messages;
};

class MetaTextTest : public testing::TestWithParam<MetaCase> {};

TEST_P(MetaTextTest, ReportsBadValues) {
    MetaParseResult meta = ParseMeta(GetParam().text, "p.meta");
    EXPECT_EQ(meta.valid, GetParam().valid);
    EXPECT_EQ(meta.messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Values, MetaTextTest,
    testing::Values(
        MetaCase{"UnknownVideoFormatIgnored", "video.format=h266", true, {"Invalid param:  h266\n"}},
        MetaCase{"UnknownAudioFormatIgnored", "audio.format=opus", true, {"Invalid param:  opus\n"}},
        MetaCase{"Rate7350Invalid", "audio.sample_rate=7350", false, {"Invalid param:  7350\n"}},
        MetaCase{"RateTextInvalid", "audio.sample_rate=fast", false, {"Invalid param:  fast\n"}},
        MetaCase{"Bits24Invalid", "audio.bits_per_sample=24", false, {"Invalid param:  24\n"}},
        MetaCase{"ThreeChannelsInvalid", "audio.channel=3", false, {"Invalid param:  3\n"}},
        MetaCase{"FpsTextIgnored", "video.fps=fifteen", true, {"Invalid param:  fifteen\n"}},
        MetaCase{"UnknownKey", "colour=blue", true, {}},
        MetaCase{"NoEquals", "video.format", true, {}},
        MetaCase{"NoValue", "audio.channel=", true, {}},
        MetaCase{"EmptyFile", "", true, {}},
        MetaCase{"LineOver127", "video.format=" + std::string(120, 'x'), false, {"Read file failed: p.meta\n"}}),
    [](const testing::TestParamInfo<MetaCase>& info) { return std::string(info.param.name); });

TEST(MetaReaderTest, LastOccurrenceWinsAndCarriageReturnsAreDropped) {
    MetaParseResult meta = ParseMeta("video.format=h265\r\nvideo.format=h264\r\nduration=7\r\n", "p.meta");
    EXPECT_TRUE(meta.messages.empty());
    EXPECT_EQ(meta.video.format, OV_VIDEO_FORMAT_H264);
    EXPECT_EQ(meta.duration, 7.0);
}

TEST(MetaReaderTest, KnowsEverySampleRate) {
    const std::pair<const char*, ov_audio_sample_rate_e> rates[] = {
        {"8000", OV_AUDIO_SAMPLE_RATE_8000},   {"11025", OV_AUDIO_SAMPLE_RATE_11025},
        {"12000", OV_AUDIO_SAMPLE_RATE_12000}, {"16000", OV_AUDIO_SAMPLE_RATE_16000},
        {"22050", OV_AUDIO_SAMPLE_RATE_22050}, {"24000", OV_AUDIO_SAMPLE_RATE_24000},
        {"32000", OV_AUDIO_SAMPLE_RATE_32000}, {"44100", OV_AUDIO_SAMPLE_RATE_44100},
        {"48000", OV_AUDIO_SAMPLE_RATE_48000}, {"64000", OV_AUDIO_SAMPLE_RATE_64000},
        {"88200", OV_AUDIO_SAMPLE_RATE_88200}, {"96000", OV_AUDIO_SAMPLE_RATE_96000},
    };
    for (const auto& [text, rate] : rates) {
        MetaParseResult meta = ParseMeta(std::string("audio.sample_rate=") + text, "p.meta");
        EXPECT_TRUE(meta.valid) << text;
        EXPECT_EQ(meta.audio.sample_rate, rate) << text;
    }
}

TEST(MetaReaderTest, StopsAtTheFirstInvalidLine) {
    MetaParseResult meta = ParseMeta("audio.channel=5\naudio.bits_per_sample=4\n", "p.meta");
    EXPECT_FALSE(meta.valid);
    EXPECT_EQ(meta.messages, std::vector<std::string>{"Invalid param:  5\n"});
}

}  // namespace
