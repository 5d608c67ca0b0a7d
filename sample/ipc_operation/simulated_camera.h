// The simulated camera behind the dummy_ipc_ functions: two live readers looping from start to stop, one
// playback reader, the recording list, the picture source and the property report.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dummy_ipc.h"
#include "media_parser.h"
#include "picture_parser.h"
#include "vod_timeline.h"

class SimulatedCamera {
public:
    static SimulatedCamera& GetInstance();

    int Start(const DummyIpcConfig& config, MediaClock clock = GetLocalTime);
    void Stop();
    bool IsStarted();
    int Live(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param);
    int VodByFile(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param);
    int VodByUtc(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param);
    int ReportVodList(uint32_t start_time, const char* id, ov_query_storage_record_response_cb on_complete);
    int GetLiveMediaParam(ov_video_param_s* video, ov_audio_param_s* audio, double* duration);
    int GetVodMediaParam(ov_video_param_s* video, ov_audio_param_s* audio, double* duration);
    int Capture(const char* id);
    int SetProperty(const char* key, const char* value);
    void GetAllProperty();

private:
    enum LiveStream { kMainStream = 0, kSubStream = 1 };

    SimulatedCamera() = default;
    void BuildSources(const DummyIpcConfig& config);
    bool CheckFiles() const;
    bool LoadRecordingDurations();
    bool StartDevices(const DummyIpcConfig& config, const MediaClock& clock);
    void StopDevices();
    std::unique_ptr<MediaParse> MakeReader(const MediaClock& clock) const;
    void ApplyPlaybackControl(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param);
    void SeekOnTimeline(const DummyIpcMediaParam& param);
    static int CopyMediaParam(const MediaParse& reader, ov_video_param_s* video, ov_audio_param_s* audio,
                              double* duration);

    std::mutex mutex_;
    bool started_ = false;
    DummyIpcConfig config_{};
    std::array<std::string, 2> live_prefixes_;
    std::vector<Recording> recordings_;
    std::string picture_file_;
    std::array<std::unique_ptr<MediaParse>, 2> live_readers_;
    std::unique_ptr<MediaParse> vod_reader_;
    LiveStream current_live_ = kMainStream;
    std::shared_ptr<PictureParser> picture_;
};
