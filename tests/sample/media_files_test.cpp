// Corrupted copies of a set made by make_media.py: each must be refused with its exact messages.
#include "media_files.h"

#include <gtest/gtest.h>

#include <functional>

#include "camera_test_support.h"
#include "media_parser.h"

namespace {

using camtest::TestMedia;
using testsupport::ReadFile;
using testsupport::WriteFile;

struct CorruptionCase {
    const char* name;
    std::function<void(const std::string& prefix)> corrupt;
    // Expected output with {P} standing for the prefix.
    std::string messages;
};

std::string WithPrefix(std::string text, const std::string& prefix) {
    const std::string placeholder = "{P}";
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + prefix.size())) {
        text.replace(at, placeholder.size(), prefix);
    }
    return text;
}

void Remove(const std::string& path) { std::remove(path.c_str()); }

void Append(const std::string& path, const std::string& text) { WriteFile(path, ReadFile(path) + text); }

const CorruptionCase kCorruptions[] = {
    {"NoIndex", [](const std::string& p) { Remove(IndexFileName(p)); },
     "Open file failed: {P}.index\nParse stream index failed\n"},
    {"IndexEndsWithLineBreak", [](const std::string& p) { Append(IndexFileName(p), "\n"); },
     "Read file failed: {P}.index\nParse stream index failed\n"},
    {"IndexWithGarbageLine", [](const std::string& p) { Append(IndexFileName(p), "\nmedia=0,offset=1"); },
     "Read file failed: {P}.index\nParse stream index failed\n"},
    {"EmptyIndex", [](const std::string& p) { WriteFile(IndexFileName(p), ""); },
     "Read index file failed: {P}.index\nParse stream index failed\n"},
    {"NoMeta", [](const std::string& p) { Remove(MetaFileName(p)); },
     "Open file failed: {P}.meta\nParse stream param failed\n"},
    {"MetaWithRate7350", [](const std::string& p) { Append(MetaFileName(p), "audio.sample_rate=7350\n"); },
     "Invalid param:  7350\nParse stream param failed\n"},
    {"MetaWithEightChannels", [](const std::string& p) { Append(MetaFileName(p), "audio.channel=8\n"); },
     "Invalid param:  8\nParse stream param failed\n"},
    {"NoStream", [](const std::string& p) { Remove(p); }, "Open file failed: {P}\nParse stream file failed\n"},
};

class MediaFileSetTest : public testing::TestWithParam<CorruptionCase> {
protected:
    void SetUp() override { ASSERT_TRUE(TestMedia::Get().ok()); }
    testsupport::TempDir dir_;
};

TEST_P(MediaFileSetTest, RefusesWithExactMessages) {
    const std::string prefix = dir_.File("set");
    camtest::CopySet(TestMedia::Get().Prefix("h265_aac"), prefix);
    GetParam().corrupt(prefix);
    MediaFileSet set;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(OpenMediaFileSet(prefix, set));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), WithPrefix(GetParam().messages, prefix));

    MediaParse reader(nullptr, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(reader.StartLive(1, prefix), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), WithPrefix(GetParam().messages, prefix) + "Open file failed\n");
    EXPECT_FALSE(reader.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Corruptions, MediaFileSetTest, testing::ValuesIn(kCorruptions),
                         [](const testing::TestParamInfo<CorruptionCase>& info) { return std::string(info.param.name); });

TEST(MediaFileSetOpenTest, OpensAToolMadeSet) {
    ASSERT_TRUE(TestMedia::Get().ok());
    for (const char* name : {"h265_aac", "h264_g711a"}) {
        MediaFileSet set;
        ASSERT_TRUE(OpenMediaFileSet(TestMedia::Get().Prefix(name), set)) << name;
        EXPECT_TRUE(set.meta.valid);
        EXPECT_NE(set.stream, nullptr);
        EXPECT_TRUE(IsVideoKeyFrame(set.index.front()));
    }
}

struct FrameFault {
    const char* name;
    std::function<void(const std::string& prefix)> corrupt;
    const char* message;
};

// The second record (audio at 0 ms) is due at once, so the fault is met on the first step.
const FrameFault kFrameFaults[] = {
    {"BrokenMarker",
     [](const std::string& p) {
         std::string stream = ReadFile(p);
         auto index = camtest::LoadIndex(p);
         stream[index[1].offset] = 'X';
         WriteFile(p, stream);
     },
     "Read frame failed\n"},
    {"StreamCutShort",
     [](const std::string& p) {
         auto index = camtest::LoadIndex(p);
         WriteFile(p, ReadFile(p).substr(0, index[1].offset + 2));
     },
     "Read frame failed\n"},
    {"RecordTooLarge",
     [](const std::string& p) {
         std::string text = ReadFile(IndexFileName(p));
         size_t line = text.find('\n') + 1;
         size_t len = text.find("len=", line) + 4;
         text.replace(len, text.find(',', len) - len, "131073");
         WriteFile(IndexFileName(p), text);
     },
     "Buf is too large\n"},
};

class FrameFaultTest : public testing::TestWithParam<FrameFault> {};

TEST_P(FrameFaultTest, EndsTheReaderThread) {
    ASSERT_TRUE(TestMedia::Get().ok());
    testsupport::TempDir dir;
    const std::string prefix = dir.File("set");
    camtest::CopySet(TestMedia::Get().Prefix("h265_aac"), prefix);
    GetParam().corrupt(prefix);
    camtest::FakeClock clock;
    camtest::FrameRecorder recorder;
    MediaParse reader(
        [&](ov_video_format_e format, unsigned char*, unsigned int size, unsigned int ts, int key, int id) {
            recorder.AddVideo(id, format, size, ts, key);
        },
        [&](ov_audio_format_e format, unsigned char*, unsigned int size, unsigned int ts, int id) {
            recorder.AddAudio(id, format, size, ts);
        },
        clock.Function());
    testing::internal::CaptureStdout();
    ASSERT_EQ(reader.StartLive(3, prefix), 0);
    ASSERT_TRUE(camtest::WaitUntil([&] { return !reader.IsRunning(); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), GetParam().message);
    EXPECT_EQ(recorder.Count(), 1u);  // the key frame before the fault
}

INSTANTIATE_TEST_SUITE_P(Faults, FrameFaultTest, testing::ValuesIn(kFrameFaults),
                         [](const testing::TestParamInfo<FrameFault>& info) { return std::string(info.param.name); });

}  // namespace
