// The dummy_ipc_ surface on sets made by make_media.py. Pacing-sensitive cases start the camera with a
// clock the test drives; the C entry point is used for everything else.
#include "dummy_ipc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "camera_test_support.h"
#include "simulated_camera.h"

namespace {

using camtest::LetReaderRun;
using camtest::TestMedia;

camtest::FrameRecorder frames;

struct Picture {
    std::string bytes;
    ov_event_type_e type;
    std::string id;
    bool has_id;
};
std::mutex sink_mutex;
std::vector<Picture> pictures;
std::vector<std::pair<std::string, std::string>> property_reports;
std::vector<ov_query_storage_record_response_s> listed;
std::string listed_id;

void OnVideo(int service_id, ov_video_format_e format, unsigned char*, unsigned int size, unsigned int ts, int key) {
    frames.AddVideo(service_id, format, size, ts, key);
}
void OnAudio(int service_id, ov_audio_format_e format, unsigned char*, unsigned int size, unsigned int ts) {
    frames.AddAudio(service_id, format, size, ts);
}
void OnPicture(unsigned char* buffer, unsigned int length, ov_event_type_e type, const char* id) {
    std::lock_guard<std::mutex> lock(sink_mutex);
    pictures.push_back({std::string(reinterpret_cast<char*>(buffer), length), type, id ? id : "", id != nullptr});
}
void OnProperty(const char* key, const char* value) {
    std::lock_guard<std::mutex> lock(sink_mutex);
    property_reports.emplace_back(key, value);
}
int OnRecordList(int num, const char* id, const ov_query_storage_record_response_s* records) {
    listed.assign(records, records + num);
    listed_id = id;
    return 0;
}

DummyIpcMediaFile MediaFile(const std::string& prefix) {
    DummyIpcMediaFile file{};
    std::strncpy(file.source_file, prefix.c_str(), sizeof(file.source_file) - 1);
    return file;
}

DummyIpcMediaParam Param(int service_id) {
    DummyIpcMediaParam param{};
    param.service_id = service_id;
    return param;
}

class SimulatedCameraTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TestMedia::Get().ok()) << "make_media.py failed";
        main_ = TestMedia::Get().Prefix("h265_aac");
        sub_ = TestMedia::Get().Prefix("h264_g711a");
        live_ = {MediaFile(main_), MediaFile(sub_)};
        vod_ = {MediaFile(main_), MediaFile(sub_)};
        picture_path_ = TestMedia::Get().Picture();
        config_.live_num = 2;
        config_.live_source = live_.data();
        config_.vod_num = 2;
        config_.vod_source = vod_.data();
        config_.picture_source = picture_path_.data();
        config_.picture_interval_s = 600;
        config_.video_handler = OnVideo;
        config_.audio_handler = OnAudio;
        config_.picture_handler = OnPicture;
        config_.set_property_handler = OnProperty;
        frames.Clear();
        std::lock_guard<std::mutex> lock(sink_mutex);
        pictures.clear();
        property_reports.clear();
    }
    void TearDown() override { dummy_ipc_stop(); }

    void StartWithClock() { ASSERT_EQ(SimulatedCamera::GetInstance().Start(config_, clock_.Function()), 0); }
    // Waits for the first frame from position `from` on and returns it.
    camtest::Frame NextFrame(size_t from) {
        EXPECT_TRUE(frames.WaitForCount(from + 1));
        return frames.Frames().at(from);
    }

    std::string main_, sub_, picture_path_;
    std::vector<DummyIpcMediaFile> live_, vod_;
    DummyIpcConfig config_{};
    camtest::FakeClock clock_;
};

TEST_F(SimulatedCameraTest, StartNeedsAConfigurationWithEveryHandler) {
    EXPECT_EQ(dummy_ipc_start(nullptr), -1);
    for (int missing = 0; missing < 4; ++missing) {
        DummyIpcConfig config = config_;
        if (missing == 0) config.video_handler = nullptr;
        if (missing == 1) config.audio_handler = nullptr;
        if (missing == 2) config.picture_handler = nullptr;
        if (missing == 3) config.set_property_handler = nullptr;
        EXPECT_EQ(dummy_ipc_start(&config), -1) << missing;
    }
    EXPECT_EQ(dummy_ipc_start(&config_), 0);
    EXPECT_EQ(dummy_ipc_start(&config_), 0);  // already started
}

TEST_F(SimulatedCameraTest, EveryMissingFileIsReported) {
    testsupport::TempDir dir;
    const std::string missing = dir.File("gone");
    live_[1] = MediaFile(missing);
    const std::string picture = dir.File("none.jpg");
    config_.picture_source = const_cast<char*>(picture.c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(dummy_ipc_start(&config_), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Check files failed: " + missing + ".index\nCheck files failed: " + missing +
                  ".meta\nCheck files failed: " + missing + "\nCheck files failed: " + picture + "\n");
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    EXPECT_EQ(dummy_ipc_get_live_media_param(&video, &audio, &duration), -1);
}

TEST_F(SimulatedCameraTest, APictureOver65536BytesFailsTheStart) {
    testsupport::TempDir dir;
    const std::string picture = dir.File("big.jpg");
    ASSERT_TRUE(testsupport::WriteFile(picture, std::string(70000, 'j')));
    config_.picture_source = const_cast<char*>(picture.c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(dummy_ipc_start(&config_), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "File is too large: " + picture + "\n");
}

TEST_F(SimulatedCameraTest, NothingWorksBeforeAStartOrAfterAStop) {
    for (int round = 0; round < 2; ++round) {
        DummyIpcMediaParam param = Param(1);
        ov_video_param_s video{};
        ov_audio_param_s audio{};
        double duration = 0;
        EXPECT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_START, &param), -1);
        EXPECT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_START, &param), -1);
        EXPECT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_SEEK, &param), -1);
        EXPECT_EQ(dummy_ipc_report_vod_list(0, 0, 0, "q", OnRecordList), -1);
        EXPECT_EQ(dummy_ipc_get_live_media_param(&video, &audio, &duration), -1);
        EXPECT_EQ(dummy_ipc_vod_get_media_param(&video, &audio, &duration), -1);
        EXPECT_EQ(dummy_ipc_capture("c"), -1);
        EXPECT_EQ(dummy_ipc_set_property("MicSwitch", "1"), -1);
        dummy_ipc_get_all_property();
        ASSERT_EQ(dummy_ipc_start(&config_), 0);
        dummy_ipc_stop();
    }
    std::lock_guard<std::mutex> lock(sink_mutex);
    EXPECT_TRUE(pictures.empty());
    EXPECT_TRUE(property_reports.empty());
}

TEST_F(SimulatedCameraTest, NullArgumentsAreRefused) {
    ASSERT_EQ(dummy_ipc_start(&config_), 0);
    EXPECT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_START, nullptr), -1);
    EXPECT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_START, nullptr), -1);
    EXPECT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_SEEK, nullptr), -1);
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    EXPECT_EQ(dummy_ipc_get_live_media_param(nullptr, &audio, &duration), -1);
    EXPECT_EQ(dummy_ipc_get_live_media_param(&video, nullptr, &duration), -1);
    EXPECT_EQ(dummy_ipc_vod_get_media_param(&video, &audio, nullptr), -1);
}

TEST_F(SimulatedCameraTest, LiveStreamReachesItsServiceFromAKeyFrameUntilStopped) {
    StartWithClock();
    clock_.Advance(500);
    LetReaderRun();
    EXPECT_EQ(frames.Count(), 0u);  // the readers run, but nobody watches
    DummyIpcMediaParam param = Param(5);
    ASSERT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_START, &param), 0);
    camtest::Frame first = NextFrame(0);
    EXPECT_EQ(first.service_id, 5);
    EXPECT_EQ(first.key, 1);
    EXPECT_EQ(first.format, OV_VIDEO_FORMAT_H265);
    clock_.Advance(700);
    ASSERT_TRUE(frames.WaitForCount(5));
    ASSERT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_STOP, &param), 0);
    LetReaderRun();
    const size_t stopped_at = frames.Count();
    clock_.Advance(1000);
    LetReaderRun();
    EXPECT_EQ(frames.Count(), stopped_at);
}

TEST_F(SimulatedCameraTest, ChangingToTheSubStreamKeepsTheServiceAndStartsAtAKeyFrame) {
    StartWithClock();
    DummyIpcMediaParam param = Param(5);
    ASSERT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_START, &param), 0);
    NextFrame(0);  // the key frame the service starts with, before time moves on
    clock_.Advance(400);
    ASSERT_TRUE(frames.WaitForCount(3));
    LetReaderRun();
    const size_t before = frames.Count();
    param.stream_type = 0;
    ASSERT_EQ(dummy_ipc_live(DUMMY_IPC_MEDIA_CHANGE_STREAM, &param), 0);
    camtest::Frame next = NextFrame(before);
    EXPECT_EQ(next.service_id, 5);
    EXPECT_EQ(next.key, 1);
    EXPECT_EQ(next.format, OV_VIDEO_FORMAT_H264);
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    ASSERT_EQ(dummy_ipc_get_live_media_param(&video, &audio, &duration), 0);
    EXPECT_EQ(video.format, OV_VIDEO_FORMAT_H264);
    EXPECT_EQ(video.fps, 10u);
    EXPECT_EQ(audio.format, OV_AUDIO_FORMAT_G711A);
    EXPECT_EQ(audio.sample_rate, OV_AUDIO_SAMPLE_RATE_8000);
    EXPECT_EQ(duration, 2.0);
    clock_.Advance(300);
    LetReaderRun();
    for (const auto& frame : frames.Frames()) EXPECT_EQ(frame.service_id, 5);
}

TEST_F(SimulatedCameraTest, FilePlaybackAsTheDemoStartsIt) {
    StartWithClock();
    DummyIpcMediaParam param = Param(8);
    std::strncpy(param.source_file, sub_.c_str(), sizeof(param.source_file) - 1);
    param.base_time_ms = 10000;
    param.seek_timestamp_ms = 500;
    ASSERT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_PAUSE, &param), 0);
    ASSERT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_START, &param), 0);
    ASSERT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_SEEK, &param), 0);
    LetReaderRun();
    EXPECT_EQ(frames.Count(), 0u);  // paused until the relay resumes
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    ASSERT_EQ(dummy_ipc_vod_get_media_param(&video, &audio, &duration), 0);
    EXPECT_EQ(video.format, OV_VIDEO_FORMAT_H264);
    ASSERT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_UNPAUSE, &param), 0);
    camtest::Frame first = NextFrame(0);
    EXPECT_EQ(first.service_id, 8);
    EXPECT_EQ(first.key, 1);
    EXPECT_EQ(first.timestamp, 10000u + 1000u);
    ASSERT_EQ(dummy_ipc_vod_by_file(DUMMY_IPC_MEDIA_STOP, &param), 0);
    ASSERT_EQ(dummy_ipc_vod_get_media_param(&video, &audio, &duration), 0);
    EXPECT_EQ(duration, 0.0);
}

TEST_F(SimulatedCameraTest, PlaybackByTimeWalksTheRecordings) {
    StartWithClock();
    DummyIpcMediaParam param = Param(6);
    // 3 s then 2 s: 4500 ms is 1500 ms into the second recording, whose last key frame before its end is 1000.
    param.seek_timestamp_ms = 4500;
    ASSERT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_SEEK, &param), 0);
    LetReaderRun();
    EXPECT_EQ(frames.Count(), 0u);  // started paused
    ASSERT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_UNPAUSE, &param), 0);
    camtest::Frame first = NextFrame(0);
    EXPECT_EQ(first.format, OV_VIDEO_FORMAT_H264);
    EXPECT_EQ(first.timestamp, 3000u + 1000u);
    EXPECT_EQ(first.service_id, 6);

    param.seek_timestamp_ms = 5001;  // past the end: nothing changes
    ASSERT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_SEEK, &param), 0);
    ASSERT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_START, &param), 0);  // no effect by time
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    ASSERT_EQ(dummy_ipc_vod_get_media_param(&video, &audio, &duration), 0);
    EXPECT_EQ(video.format, OV_VIDEO_FORMAT_H264);

    // While playing, a seek into the first recording switches files and keeps playing.
    LetReaderRun();
    const size_t before = frames.Count();
    param.seek_timestamp_ms = 1200;
    ASSERT_EQ(dummy_ipc_vod_by_utc(DUMMY_IPC_MEDIA_SEEK, &param), 0);
    camtest::Frame switched = NextFrame(before);
    EXPECT_EQ(switched.format, OV_VIDEO_FORMAT_H265);
    EXPECT_EQ(switched.key, 1);
    EXPECT_EQ(switched.timestamp, 2000u);
}

TEST_F(SimulatedCameraTest, RecordListCoversEveryRecordingBackToBack) {
    ASSERT_EQ(dummy_ipc_start(&config_), 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(dummy_ipc_report_vod_list(1000, 1001, 1, "query-7", OnRecordList), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dummy_ipc_report_vod_list result: 0\n");
    EXPECT_EQ(listed_id, "query-7");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(std::string(listed[0].file_name), main_.substr(0, 63));
    EXPECT_EQ(listed[0].start_time, 1000);
    EXPECT_EQ(listed[0].stop_time, 1003);
    EXPECT_EQ(listed[1].start_time, 1003);
    EXPECT_EQ(listed[1].stop_time, 1005);
    EXPECT_EQ(listed[1].record_type, OV_STORAGE_RECORD_INITIATIVE);
}

TEST_F(SimulatedCameraTest, CaptureDeliversThePictureWithItsId) {
    ASSERT_EQ(dummy_ipc_start(&config_), 0);
    EXPECT_EQ(dummy_ipc_capture("trigger-1"), 0);
    std::lock_guard<std::mutex> lock(sink_mutex);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].bytes, testsupport::ReadFile(picture_path_));
    EXPECT_EQ(pictures[0].type, OV_TRIGGER_PIC);
    EXPECT_EQ(pictures[0].id, "trigger-1");
}

TEST_F(SimulatedCameraTest, PropertiesAreSetAndReported) {
    ASSERT_EQ(dummy_ipc_start(&config_), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dummy_ipc_set_property("MicSwitch", "1"), 0);
    EXPECT_EQ(dummy_ipc_set_property(nullptr, "2"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Set property :MicSwitch 1\nSet property : 2\n");
    dummy_ipc_get_all_property();
    std::lock_guard<std::mutex> lock(sink_mutex);
    ASSERT_EQ(property_reports.size(), 2u + 17u);
    EXPECT_EQ(property_reports[0], (std::pair<std::string, std::string>{"MicSwitch", "1"}));
    EXPECT_EQ(property_reports[1], (std::pair<std::string, std::string>{"", "2"}));
    EXPECT_NE(std::find(property_reports.begin() + 2, property_reports.end(),
                        std::pair<std::string, std::string>{"MicSwitch", "1"}),
              property_reports.end());
}

TEST_F(SimulatedCameraTest, OneLiveSourceIsIgnoredForTheDefaults) {
    testsupport::TempDir dir;
    camtest::CopySet(main_, dir.File("aac_h265_768"));
    camtest::CopySet(sub_, dir.File("aac_h265_640"));
    testsupport::WriteFile(dir.File("1.jpg"), testsupport::ReadFile(picture_path_));
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    live_[0] = MediaFile(sub_);  // would make the main stream H.264 if it were used
    config_.live_num = 1;
    config_.vod_num = 0;
    config_.picture_source = nullptr;
    const int started = dummy_ipc_start(&config_);
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;
    const int got = dummy_ipc_get_live_media_param(&video, &audio, &duration);
    listed.clear();
    dummy_ipc_report_vod_list(0, 0, 0, "q", OnRecordList);
    dummy_ipc_stop();
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(started, 0);
    ASSERT_EQ(got, 0);
    EXPECT_EQ(video.format, OV_VIDEO_FORMAT_H265);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_STREQ(listed[0].file_name, "aac_h265_768");
    EXPECT_STREQ(listed[1].file_name, "aac_h265_640");
}

}  // namespace
