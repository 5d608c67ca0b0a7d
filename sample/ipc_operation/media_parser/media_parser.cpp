#include "media_parser.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "stream_reader.h"

MediaParse::MediaParse(VideoSink video_sink, AudioSink audio_sink, MediaClock clock)
    : clock_(std::move(clock)),
      video_handler_(std::move(video_sink)),
      audio_handler_(std::move(audio_sink)),
      buf_(kBufferMaxLen) {}

MediaParse::~MediaParse() { Stop(); }

int MediaParse::StartLive(int service_id, const std::string& prefix) {
    return Start(Mode::kLive, service_id, prefix, 0);
}

int MediaParse::StartVod(int service_id, const std::string& prefix, uint64_t base_time_ms) {
    return Start(Mode::kVod, service_id, prefix, base_time_ms);
}

int MediaParse::Start(Mode mode, int service_id, const std::string& prefix, uint64_t base_time_ms) {
    thread_.Stop();
    ReleaseFiles();
    MediaFileSet files;
    if (!OpenMediaFileSet(prefix, files)) {
        std::printf("Open file failed\n");
        return -1;
    }
    index_ = std::move(files.index);
    video_param_ = files.meta.video;
    audio_param_ = files.meta.audio;
    duration_ = files.meta.duration;
    stream_file_ = std::move(files.stream);
    stream_prefix_ = prefix;
    mode_ = mode;
    stop_ = false;
    pending_service_id_ = kNoPendingService;
    service_id_ = service_id;
    if (mode == Mode::kVod) vod_base_time_ = base_time_ms;
    anchor_ = {clock_(), index_.front().timestamp};
    thread_.Start([this](void*) { return ThreadStep(); }, nullptr);
    return 0;
}

void MediaParse::Stop() {
    stop_ = true;
    thread_.Stop();
    ReleaseFiles();
}

void MediaParse::ReleaseFiles() {
    stream_file_.reset();
    index_.clear();
    index_position_ = 0;
    video_param_ = {};
    audio_param_ = {};
    duration_ = 0;
}

void MediaParse::AttachService(int service_id) {
    pending_service_id_ = service_id;
    wait_for_i_frame_ = true;
}

int MediaParse::DetachService() {
    const int pending = pending_service_id_.exchange(kNoPendingService);
    const int attached = service_id_.exchange(0);
    return pending != kNoPendingService ? pending : attached;
}

void MediaParse::ApplyPendingService() {
    const int pending = pending_service_id_.exchange(kNoPendingService);
    if (pending != kNoPendingService) service_id_ = pending;
}

void MediaParse::Seek(uint64_t seek_ms) {
    seek_time_ = seek_ms;
    seek_ = true;
}

void MediaParse::SetSpeed(uint32_t speed, bool key_only) {
    if (speed_operate_ || speed == 0 || speed > kVodSpeedMax) return;
    requested_speed_ = speed;
    // Frames resume from a key frame so the decoder has a picture to predict from.
    if (requested_key_only_ && !key_only) wait_for_i_frame_ = true;
    requested_key_only_ = key_only;
    speed_operate_ = true;
}

void MediaParse::Pause(bool pause) {
    bool current = pause_;
    if (pause == current) return;
    pause_last_ = current;
    pause_ = pause;
}

void MediaParse::GetMediaParam(ov_video_param_s& video, ov_audio_param_s& audio, double& duration) const {
    video = video_param_;
    audio = audio_param_;
    duration = duration_;
}

bool MediaParse::ThreadStep() {
    int result = mode_ == Mode::kLive ? LiveStep() : VodStep();
    if (result != 0 || stop_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepIntervalMs));
    return true;
}

int MediaParse::LiveStep() {
    if (!stream_file_) return -1;
    if (wait_for_i_frame_.exchange(false)) ProcessLiveRequestIFrame();
    return DeliverDueFrames(Mode::kLive);
}

int MediaParse::VodStep() {
    if (!stream_file_) return -1;
    if (pause_) return 0;
    if (pause_last_.exchange(false)) VodReset();
    if (seek_) ProcessSeek();
    if (speed_operate_) ProcessSpeed();
    if (wait_for_i_frame_.exchange(false)) ProcessVodRequestIFrame();
    return DeliverDueFrames(Mode::kVod);
}

int MediaParse::DeliverDueFrames(Mode mode) {
    const uint64_t now = clock_();
    const uint32_t speed = mode == Mode::kLive ? 1 : vod_speed_;
    while (true) {
        const IndexInfo& frame = index_[index_position_];
        if (!IsFrameDue(anchor_, now, frame.timestamp, speed)) return 0;
        if (IsLagTooLarge(anchor_, now, frame.timestamp, speed, uint32_check_)) {
            // The clock jumped: start the file over rather than bursting through it.
            size_t last = index_position_;
            index_position_ = 0;
            if (mode == Mode::kLive) LiveReset(last, 0);
            else VodReset();
            continue;
        }
        if (DeliverFrame(mode, frame) != 0) return -1;
        if (++index_position_ < index_.size()) continue;
        if (mode == Mode::kVod) return -1;
        LiveReset(index_.size() - 1, 0);
        index_position_ = 0;
        // One pass per step: a file whose stamps never advance must not keep the thread from its stop.
        return 0;
    }
}

int MediaParse::DeliverFrame(Mode mode, const IndexInfo& frame) {
    FrameReadStatus status = ReadFrameRecord(stream_file_.get(), frame, buf_.data());
    if (status == FrameReadStatus::kTooLarge) {
        std::printf("Buf is too large\n");
        return -1;
    }
    if (status == FrameReadStatus::kBadRecord) {
        std::printf("Read frame failed\n");
        return -1;
    }
    if (mode == Mode::kVod && key_only_ && !IsVideoKeyFrame(frame)) return 0;
    const int service_id = service_id_;
    if (service_id <= 0) return 0;
    const uint64_t base = mode == Mode::kLive ? live_base_time_ : vod_base_time_;
    const auto timestamp = static_cast<unsigned int>(base + frame.timestamp);
    unsigned char* payload = buf_.data() + kMediaFrameHeaderLen;
    const unsigned int size = frame.len - kMediaFrameHeaderLen;
    if (frame.media_type == kMediaTypeVideo) {
        video_handler_(video_param_.format, payload, size, timestamp, IsVideoKeyFrame(frame) ? 1 : 0, service_id);
    } else if (frame.media_type == kMediaTypeAudio) {
        audio_handler_(audio_param_.format, payload, size, timestamp, service_id);
    }
    return 0;
}

void MediaParse::LiveReset(size_t last, size_t next) {
    live_base_time_ = ShiftLiveBase(live_base_time_, index_[last].timestamp, index_[next].timestamp);
    anchor_ = {clock_(), index_[next].timestamp};
}

void MediaParse::VodReset() { anchor_ = {clock_(), index_[index_position_].timestamp}; }

void MediaParse::ProcessLiveRequestIFrame() {
    size_t last = index_position_;
    index_position_ = FindIFramePosition(index_, index_position_);
    LiveReset(last, index_position_);
    ApplyPendingService();
}

void MediaParse::ProcessVodRequestIFrame() {
    index_position_ = FindIFramePosition(index_, index_position_);
    VodReset();
}

void MediaParse::ProcessSeek() {
    index_position_ = FindSeekPosition(index_, seek_time_);
    VodReset();
    seek_ = false;
}

void MediaParse::ProcessSpeed() {
    vod_speed_ = requested_speed_;
    key_only_ = requested_key_only_;
    VodReset();
    speed_operate_ = false;
}
