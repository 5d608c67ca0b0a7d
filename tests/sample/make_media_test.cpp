// tools/make_media.py: the sets it writes must be what the camera reads and what a decoder accepts.
#include <gtest/gtest.h>

#include "camera_test_support.h"
#include "index_reader.h"
#include "process.h"

namespace {

using camtest::TestMedia;
using testsupport::CaptureCommand;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::WriteFile;

struct SetCase {
    const char* name;
    const char* decoder_name;  // as ffprobe names the codec
    std::vector<int> parameter_sets;  // leading every key frame, in this order
    int first_key_type;               // then the key picture, a type in [first, last]
    int last_key_type;
    std::string meta;
};

int NalType(const std::string& frame, size_t unit_start, bool hevc) {
    const auto byte = static_cast<unsigned char>(frame[unit_start]);
    return hevc ? (byte >> 1) & 0x3F : byte & 0x1F;
}

// NAL unit types of an Annex B access unit.
std::vector<int> NalTypes(const std::string& frame, bool hevc) {
    std::vector<int> types;
    for (size_t at = frame.find(std::string("\0\0\1", 3)); at != std::string::npos;
         at = frame.find(std::string("\0\0\1", 3), at + 3)) {
        if (at + 3 < frame.size()) types.push_back(NalType(frame, at + 3, hevc));
    }
    return types;
}

class MadeSetTest : public testing::TestWithParam<SetCase> {
protected:
    void SetUp() override { ASSERT_TRUE(TestMedia::Get().ok()); }
};

TEST_P(MadeSetTest, RecordsAreWhatTheCameraAndADecoderRead) {
    const std::string prefix = TestMedia::Get().Prefix(GetParam().name);
    const std::string index_text = ReadFile(IndexFileName(prefix));
    ASSERT_FALSE(index_text.empty());
    EXPECT_NE(index_text.back(), '\n');
    EXPECT_EQ(ReadFile(MetaFileName(prefix)), GetParam().meta);
    const auto index = ParseIndex(index_text).index;
    const std::string stream = ReadFile(prefix);
    const bool hevc = std::string(GetParam().decoder_name) == "hevc";
    std::string video;
    size_t video_frames = 0;
    uint32_t offset = 0;
    for (const auto& info : index) {
        ASSERT_EQ(info.offset, offset);
        ASSERT_LE(info.len, kBufferMaxLen);
        ASSERT_EQ(stream.compare(info.offset, 4, "\xFC\xFC\xFC\xFC"), 0);
        const std::string frame = stream.substr(info.offset + 4, info.len - 4);
        offset += info.len;
        if (info.media_type != kMediaTypeVideo) continue;
        ++video_frames;
        video += frame;
        if (info.key_frame != 0) {
            auto types = NalTypes(frame, hevc);
            const auto& sets = GetParam().parameter_sets;
            ASSERT_GT(types.size(), sets.size());
            EXPECT_EQ(std::vector<int>(types.begin(), types.begin() + static_cast<long>(sets.size())), sets);
            EXPECT_GE(types[sets.size()], GetParam().first_key_type);
            EXPECT_LE(types[sets.size()], GetParam().last_key_type);
        }
    }
    EXPECT_EQ(offset, stream.size());
    testsupport::TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("video.es"), video));
    const std::string probed = CaptureCommand(std::string("ffprobe -v error -f ") + (hevc ? "hevc" : "h264") +
                                              " -count_frames -show_entries stream=codec_name,nb_read_frames "
                                              "-of csv=p=0 '" + dir.File("video.es") + "'");
    EXPECT_EQ(probed, std::string(GetParam().decoder_name) + "," + std::to_string(video_frames) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Sets, MadeSetTest,
    testing::Values(SetCase{"h265_aac", "hevc", {32, 33, 34}, 16, 23,
                            "video.format=h265\nvideo.fps=15\naudio.format=aac\naudio.sample_rate=16000\n"
                            "audio.bits_per_sample=16\naudio.channel=1\nduration=3\n"},
                    SetCase{"h264_g711a", "h264", {7, 8}, 5, 5,
                            "video.format=h264\nvideo.fps=10\naudio.format=g711a\naudio.sample_rate=8000\n"
                            "audio.bits_per_sample=16\naudio.channel=1\nduration=2\n"}),
    [](const testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

TEST(MakeMediaTest, ReencodesAnInputFileWithoutSound) {
    testsupport::TempDir dir;
    ASSERT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc=size=176x144:rate=25:duration=2 "
                         "-pix_fmt yuv420p -c:v libx264 '" + dir.File("input.mp4") + "'"),
              0);
    ASSERT_EQ(camtest::RunMakeMedia("--input '" + dir.File("input.mp4") + "' --output '" + dir.File("set") +
                                    "' --codec h264 --audio aac --size 128x96 --fps 12 --duration 2 --keyint 0.5"),
              0);
    const auto index = camtest::LoadIndex(dir.File("set"));
    size_t video = 0, keys = 0, audio = 0;
    for (const auto& info : index) {
        video += info.media_type == kMediaTypeVideo;
        keys += IsVideoKeyFrame(info);
        audio += info.media_type == kMediaTypeAudio;
    }
    EXPECT_EQ(video, 24u);
    EXPECT_EQ(keys, 4u);
    EXPECT_GT(audio, 0u);  // a tone stands in for the missing sound
}

TEST(MakeMediaTest, RefusesBadArguments) {
    testsupport::TempDir dir;
    const std::string output = " --output '" + dir.File("set") + "'";
    EXPECT_EQ(camtest::RunMakeMedia("--size 15x9" + output), 2);
    EXPECT_EQ(camtest::RunMakeMedia("--codec vp9" + output), 2);
    EXPECT_EQ(camtest::RunMakeMedia("--input '" + dir.File("absent.mp4") + "'" + output), 2);
    EXPECT_EQ(camtest::RunMakeMedia(""), 2);
}

TEST(MediaCheckTest, RejectsASetTheCameraCannotPlay) {
    ASSERT_TRUE(TestMedia::Get().ok());
    testsupport::TempDir dir;
    const std::string prefix = dir.File("set");
    camtest::CopySet(TestMedia::Get().Prefix("h264_g711a"), prefix);
    const std::string check = "'" OV_MEDIA_CHECK_PATH "' '" + prefix + "' >/dev/null 2>&1";
    EXPECT_EQ(RunCommand(check), 0);
    std::string stream = ReadFile(prefix);
    stream[camtest::LoadIndex(prefix)[3].offset + 1] = 0;
    ASSERT_TRUE(WriteFile(prefix, stream));
    EXPECT_NE(RunCommand(check), 0);
}

}  // namespace
