// A reader on a set made by make_media.py, driven by a clock the test moves: frames appear only when the
// test advances time, so pacing is checked by counts and time stamps, not by waiting.
#include "media_parser.h"

#include <gtest/gtest.h>

#include <memory>

#include "camera_test_support.h"

namespace {

using camtest::CountUpTo;
using camtest::LetReaderRun;
using camtest::TestMedia;

constexpr uint32_t kLiveBase = 100000;

class MediaParseTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TestMedia::Get().ok()) << "make_media.py failed";
        prefix_ = TestMedia::Get().Prefix("h265_aac");
        index_ = camtest::LoadIndex(prefix_);
        ASSERT_FALSE(index_.empty());
        reader_ = std::make_unique<MediaParse>(
            [this](ov_video_format_e format, unsigned char*, unsigned int size, unsigned int ts, int key, int id) {
                recorder_.AddVideo(id, format, size, ts, key);
            },
            [this](ov_audio_format_e format, unsigned char*, unsigned int size, unsigned int ts, int id) {
                recorder_.AddAudio(id, format, size, ts);
            },
            clock_.Function());
    }
    void TearDown() override { reader_.reset(); }

    // Advances the clock and waits until exactly the frames stamped up to max_ts have arrived.
    void AdvanceAndExpect(uint64_t ms, uint64_t max_ts) {
        clock_.Advance(ms);
        ASSERT_TRUE(recorder_.WaitForCount(CountUpTo(index_, max_ts)));
        LetReaderRun();
        EXPECT_EQ(recorder_.Count(), CountUpTo(index_, max_ts));
    }
    void Expect(uint64_t max_ts) { AdvanceAndExpect(0, max_ts); }
    // Position of the first key frame stamped after ts.
    size_t NextKeyAfter(uint32_t ts) const {
        for (size_t i = 0; i < index_.size(); ++i) {
            if (IsVideoKeyFrame(index_[i]) && index_[i].timestamp > ts) return i;
        }
        return index_.size();
    }

    camtest::FakeClock clock_;
    camtest::FrameRecorder recorder_;
    std::string prefix_;
    std::vector<IndexInfo> index_;
    std::unique_ptr<MediaParse> reader_;
};

TEST_F(MediaParseTest, LiveFramesArriveWhenTheClockReachesThem) {
    ASSERT_EQ(reader_->StartLive(5, prefix_), 0);
    Expect(0);
    AdvanceAndExpect(400, 400);
    AdvanceAndExpect(700, 1100);
    auto frames = recorder_.Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].service_id, 5);
        EXPECT_EQ(frames[i].media_type, index_[i].media_type);
        EXPECT_EQ(frames[i].timestamp, kLiveBase + index_[i].timestamp);
        EXPECT_EQ(frames[i].size, index_[i].len - 4);
        EXPECT_EQ(frames[i].key, IsVideoKeyFrame(index_[i]) ? 1 : 0);
        EXPECT_EQ(frames[i].format, frames[i].media_type == kMediaTypeVideo ? static_cast<int>(OV_VIDEO_FORMAT_H265)
                                                                             : static_cast<int>(OV_AUDIO_FORMAT_AAC));
    }
}

TEST_F(MediaParseTest, LiveLoopsWithStampsThatNeverDecrease) {
    ASSERT_EQ(reader_->StartLive(5, prefix_), 0);
    const size_t three_loops = 3 * index_.size() + 1;
    ASSERT_TRUE(camtest::WaitUntil([&] {
        clock_.Advance(100);
        return recorder_.Count() >= three_loops;
    }));
    auto frames = recorder_.Frames();
    for (size_t i = 1; i < frames.size(); ++i) {
        ASSERT_GE(frames[i].timestamp, frames[i - 1].timestamp) << "frame " << i;
    }
    // The first frame of the next loop carries the stamp of the last frame of the loop before.
    const size_t loop = index_.size();
    EXPECT_EQ(frames[loop].timestamp, frames[loop - 1].timestamp);
    EXPECT_EQ(frames[loop].key, 1);
    EXPECT_EQ(frames[2 * loop].timestamp - frames[0].timestamp, 2 * index_.back().timestamp);
}

TEST_F(MediaParseTest, AttachedServiceStartsAtTheNextKeyFrame) {
    ASSERT_EQ(reader_->StartLive(0, prefix_), 0);
    clock_.Advance(1500);
    LetReaderRun();
    EXPECT_EQ(recorder_.Count(), 0u);  // nobody watches
    reader_->AttachService(7);
    ASSERT_TRUE(recorder_.WaitForCount(1));
    auto first = recorder_.Frames().front();
    EXPECT_EQ(first.service_id, 7);
    EXPECT_EQ(first.key, 1);
    // The key frame takes the stamp of the frame that was due next, so stamps do not jump.
    EXPECT_EQ(first.timestamp, kLiveBase + index_[CountUpTo(index_, 1500)].timestamp);
    EXPECT_EQ(reader_->DetachService(), 7);
    EXPECT_EQ(reader_->GetServiceId(), 0);
}

TEST_F(MediaParseTest, LiveIFrameRequestDoesNotGoBackInTime) {
    ASSERT_EQ(reader_->StartLive(5, prefix_), 0);
    AdvanceAndExpect(1200, 1200);
    const uint32_t last = recorder_.Frames().back().timestamp;
    reader_->RequestIFrame();
    const size_t before = recorder_.Count();
    ASSERT_TRUE(recorder_.WaitForCount(before + 1));
    auto frame = recorder_.Frames()[before];
    EXPECT_EQ(frame.key, 1);
    EXPECT_GE(frame.timestamp, last);
}

TEST_F(MediaParseTest, PlaybackEndsAtTheEndOfTheFile) {
    ASSERT_EQ(reader_->StartVod(9, prefix_, 50000), 0);
    AdvanceAndExpect(index_.back().timestamp, index_.back().timestamp);
    ASSERT_TRUE(camtest::WaitUntil([&] { return !reader_->IsRunning(); }));
    auto frames = recorder_.Frames();
    EXPECT_EQ(frames.back().timestamp, 50000 + index_.back().timestamp);
    // The reader can play again after ending by itself.
    recorder_.Clear();
    ASSERT_EQ(reader_->StartVod(9, prefix_, 0), 0);
    Expect(0);
}

TEST_F(MediaParseTest, SpeedFourPlaysFourTimesAsFast) {
    ASSERT_EQ(reader_->StartVod(9, prefix_, 0), 0);
    Expect(0);
    // The change re-anchors on the next frame, which is then due at once.
    const uint32_t anchor = index_[recorder_.Count()].timestamp;
    reader_->SetSpeed(4, false);
    Expect(anchor);
    AdvanceAndExpect(250, anchor + 1000);
}

TEST_F(MediaParseTest, SpeedZeroAndSeventeenAreIgnored) {
    ASSERT_EQ(reader_->StartVod(9, prefix_, 0), 0);
    reader_->SetSpeed(0, true);
    reader_->SetSpeed(17, true);
    AdvanceAndExpect(250, 250);
}

TEST_F(MediaParseTest, PauseHoldsFramesAndResumeDoesNotBurst) {
    ASSERT_EQ(reader_->StartVod(9, prefix_, 0), 0);
    AdvanceAndExpect(300, 300);
    reader_->Pause(true);
    LetReaderRun();
    clock_.Advance(1000);
    LetReaderRun();
    EXPECT_EQ(recorder_.Count(), CountUpTo(index_, 300));
    reader_->Pause(false);
    const uint32_t resume_ts = index_[CountUpTo(index_, 300)].timestamp;
    Expect(resume_ts);
    AdvanceAndExpect(200, resume_ts + 200);
}

TEST_F(MediaParseTest, SeekStartsAtTheFirstKeyFrameAfterIt) {
    reader_->Pause(true);  // the order the demo uses: pause, start, seek, later resume
    ASSERT_EQ(reader_->StartVod(9, prefix_, 60000), 0);
    reader_->Seek(1200);
    LetReaderRun();
    EXPECT_EQ(recorder_.Count(), 0u);
    reader_->Pause(false);
    ASSERT_TRUE(recorder_.WaitForCount(1));
    auto first = recorder_.Frames().front();
    const IndexInfo& key = index_[NextKeyAfter(1200)];
    EXPECT_EQ(first.key, 1);
    EXPECT_EQ(first.timestamp, 60000 + key.timestamp);
}

TEST_F(MediaParseTest, KeyOnlyPlaysKeyFramesAndLeavingItResumesAtOne) {
    reader_->Pause(true);
    ASSERT_EQ(reader_->StartVod(9, prefix_, 0), 0);
    reader_->SetSpeed(1, true);
    reader_->Pause(false);
    LetReaderRun();
    clock_.Advance(1100);
    ASSERT_TRUE(recorder_.WaitForCount(2));
    LetReaderRun();
    auto frames = recorder_.Frames();
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.media_type, kMediaTypeVideo);
        EXPECT_EQ(frame.key, 1);
    }
    reader_->SetSpeed(1, false);
    ASSERT_TRUE(recorder_.WaitForCount(3));
    EXPECT_EQ(recorder_.Frames()[2].key, 1);
    EXPECT_EQ(recorder_.Frames()[2].timestamp, index_[NextKeyAfter(1100)].timestamp);
    clock_.Advance(300);
    ASSERT_TRUE(camtest::WaitUntil([&] {
        for (const auto& frame : recorder_.Frames()) {
            if (frame.media_type == kMediaTypeAudio) return true;
        }
        return false;
    }));
}

TEST_F(MediaParseTest, ParametersComeFromTheFileSet) {
    ASSERT_EQ(reader_->StartLive(0, prefix_), 0);
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    reader_->GetMediaParam(video, audio, duration);
    EXPECT_EQ(video.format, OV_VIDEO_FORMAT_H265);
    EXPECT_EQ(video.fps, 15u);
    EXPECT_EQ(video.key_frame_interval_ms, 1000u);
    EXPECT_EQ(audio.format, OV_AUDIO_FORMAT_AAC);
    EXPECT_EQ(audio.sample_rate, OV_AUDIO_SAMPLE_RATE_16000);
    EXPECT_EQ(audio.sample_bits, OV_AUDIO_SAMPLE_BITS_16BIT);
    EXPECT_EQ(audio.channel, OV_AUDIO_CHANNEL_MONO);
    EXPECT_EQ(duration, 3.0);
    reader_->Stop();
    reader_->GetMediaParam(video, audio, duration);
    EXPECT_EQ(video.fps, 0u);
    EXPECT_EQ(duration, 0.0);
}

TEST(MediaParseFileTest, AFileWhoseStampsNeverAdvanceStillStops) {
    ASSERT_TRUE(TestMedia::Get().ok());
    testsupport::TempDir dir;
    const std::string prefix = dir.File("flat");
    camtest::CopySet(TestMedia::Get().Prefix("h265_aac"), prefix);
    std::string index;
    for (const auto& info : camtest::LoadIndex(prefix)) {
        index += (index.empty() ? "" : "\n") + std::string("media=") + std::to_string(info.media_type) +
                 ",offset=" + std::to_string(info.offset) + ",len=" + std::to_string(info.len) +
                 ",timestamp=0,key=" + std::to_string(info.key_frame);
    }
    ASSERT_TRUE(testsupport::WriteFile(IndexFileName(prefix), index));
    camtest::FrameRecorder recorder;
    MediaParse reader(
        [&](ov_video_format_e format, unsigned char*, unsigned int size, unsigned int ts, int key, int id) {
            recorder.AddVideo(id, format, size, ts, key);
        },
        [&](ov_audio_format_e format, unsigned char*, unsigned int size, unsigned int ts, int id) {
            recorder.AddAudio(id, format, size, ts);
        });
    ASSERT_EQ(reader.StartLive(2, prefix), 0);
    ASSERT_TRUE(recorder.WaitForCount(2 * camtest::LoadIndex(prefix).size()));
    reader.Stop();
    EXPECT_FALSE(reader.IsRunning());
}

}  // namespace
