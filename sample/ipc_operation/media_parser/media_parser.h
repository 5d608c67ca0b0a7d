// One media reader: plays a stream prefix in real time on its own thread, looping for live or once for
// playback, and hands every due frame to its sinks while a service id is attached.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "local_time.h"
#include "media_files.h"
#include "orvia_ipc.h"
#include "pacing.h"
#include "thread_entry.h"

class MediaParse {
public:
    // (format, frame, size, timestamp_ms, key flag, service_id)
    using VideoSink = std::function<void(ov_video_format_e, unsigned char*, unsigned int, unsigned int, int, int)>;
    // (format, frame, size, timestamp_ms, service_id)
    using AudioSink = std::function<void(ov_audio_format_e, unsigned char*, unsigned int, unsigned int, int)>;

    static constexpr uint32_t kVodSpeedMax = 16;
    static constexpr uint64_t kLiveBaseTimeStart = 100000;
    static constexpr unsigned kStepIntervalMs = 20;

    MediaParse(VideoSink video_sink, AudioSink audio_sink, MediaClock clock = GetLocalTime);
    virtual ~MediaParse();
    MediaParse(const MediaParse&) = delete;
    MediaParse& operator=(const MediaParse&) = delete;

    // 0, or -1 ("Open file failed") when the file set cannot be read. A running reader is stopped first.
    int StartLive(int service_id, const std::string& prefix);
    int StartVod(int service_id, const std::string& prefix, uint64_t base_time_ms);
    void Stop();

    // Frames go to service_id from the next key frame on: the id is attached when the reader thread serves
    // the I-frame request, so a new viewer never starts on a frame it cannot decode.
    void AttachService(int service_id);
    // Stops delivery at once and returns the attached (or still pending) service id, 0 when none.
    int DetachService();
    int GetServiceId() const { return service_id_; }
    void RequestIFrame() { wait_for_i_frame_ = true; }
    void Seek(uint64_t seek_ms);
    void SetSpeed(uint32_t speed, bool key_only);
    void Pause(bool pause);
    bool IsRunning() const { return thread_.GetStatus(); }
    const std::string& prefix() const { return stream_prefix_; }
    // Parameters of the open file set (zero when none is open).
    void GetMediaParam(ov_video_param_s& video, ov_audio_param_s& audio, double& duration) const;

private:
    enum class Mode { kLive, kVod };
    static constexpr int kNoPendingService = -1;

    int Start(Mode mode, int service_id, const std::string& prefix, uint64_t base_time_ms);
    void ReleaseFiles();
    bool ThreadStep();
    int LiveStep();
    int VodStep();
    int DeliverDueFrames(Mode mode);
    int DeliverFrame(Mode mode, const IndexInfo& frame);
    void LiveReset(size_t last, size_t next);
    void VodReset();
    void ProcessLiveRequestIFrame();
    void ApplyPendingService();
    void ProcessVodRequestIFrame();
    void ProcessSeek();
    void ProcessSpeed();

    MediaClock clock_;
    VideoSink video_handler_;
    AudioSink audio_handler_;
    Mode mode_ = Mode::kLive;

    double duration_ = 0;
    ov_video_param_s video_param_{};
    ov_audio_param_s audio_param_{};
    StreamFile stream_file_;
    std::vector<unsigned char> buf_;  // kBufferMaxLen, reused for every frame
    std::string stream_prefix_;
    std::vector<IndexInfo> index_;
    size_t index_position_ = 0;
    PacingAnchor anchor_;

    uint64_t live_base_time_ = kLiveBaseTimeStart;
    uint64_t vod_base_time_ = 0;
    const uint64_t uint32_check_ = 0xFFFFFFFFu;
    uint32_t vod_speed_ = 1;
    bool key_only_ = false;

    // Requests from the control threads, polled by the reader thread.
    std::atomic<uint64_t> seek_time_{0};
    std::atomic<bool> pause_{false};
    std::atomic<bool> pause_last_{false};
    std::atomic<bool> wait_for_i_frame_{false};
    std::atomic<bool> seek_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> speed_operate_{false};
    std::atomic<uint32_t> requested_speed_{1};
    std::atomic<bool> requested_key_only_{false};
    std::atomic<int> service_id_{0};
    std::atomic<int> pending_service_id_{kNoPendingService};

    ThreadEntry thread_;
};
