#include "simulated_camera.h"

#include <cstdio>
#include <cstring>

#include "media_files.h"
#include "property_parser.h"

namespace {

const char* const kDefaultPrefixes[] = {"aac_h265_768", "aac_h265_640"};
const char* const kDefaultPicture = "1.jpg";

std::string ParamSource(const DummyIpcMediaParam& param) {
    // The field is fixed-size; do not trust it to be terminated.
    return std::string(param.source_file, strnlen(param.source_file, sizeof(param.source_file)));
}

std::string SourceName(const DummyIpcMediaFile& file) {
    return std::string(file.source_file, strnlen(file.source_file, sizeof(file.source_file)));
}

}  // namespace

SimulatedCamera& SimulatedCamera::GetInstance() {
    static SimulatedCamera camera;
    return camera;
}

bool SimulatedCamera::IsStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

int SimulatedCamera::Start(const DummyIpcConfig& config, MediaClock clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_) return 0;
    if (config.video_handler == nullptr || config.audio_handler == nullptr || config.picture_handler == nullptr ||
        config.set_property_handler == nullptr) {
        return -1;
    }
    config_ = config;
    BuildSources(config);
    if (!CheckFiles() || !LoadRecordingDurations() || !StartDevices(config, clock)) {
        StopDevices();
        return -1;
    }
    started_ = true;
    return 0;
}

void SimulatedCamera::BuildSources(const DummyIpcConfig& config) {
    const bool own_live = config.live_num > 1 && config.live_source != nullptr;
    for (size_t i = 0; i < live_prefixes_.size(); ++i) {
        live_prefixes_[i] = own_live ? SourceName(config.live_source[i]) : kDefaultPrefixes[i];
    }
    recordings_.clear();
    if (config.vod_num > 1 && config.vod_source != nullptr) {
        for (unsigned int i = 0; i < config.vod_num; ++i) recordings_.push_back({SourceName(config.vod_source[i]), 0});
    } else {
        for (const char* prefix : kDefaultPrefixes) recordings_.push_back({prefix, 0});
    }
    picture_file_ = config.picture_source != nullptr ? config.picture_source : kDefaultPicture;
}

bool SimulatedCamera::CheckFiles() const {
    std::vector<std::string> files;
    auto add_set = [&files](const std::string& prefix) {
        files.push_back(IndexFileName(prefix));
        files.push_back(MetaFileName(prefix));
        files.push_back(StreamFileName(prefix));
    };
    for (const auto& prefix : live_prefixes_) add_set(prefix);
    for (const auto& recording : recordings_) add_set(recording.prefix);
    files.push_back(picture_file_);
    bool all_found = true;
    for (const auto& file : files) {
        if (FileExists(file)) continue;
        std::printf("Check files failed: %s\n", file.c_str());
        all_found = false;
    }
    return all_found;
}

// The time line and the recording list need every recording's duration before anything plays.
bool SimulatedCamera::LoadRecordingDurations() {
    for (auto& recording : recordings_) {
        const std::string path = MetaFileName(recording.prefix);
        std::string text;
        if (!ReadTextFile(path, text)) {
            std::printf("Open file failed: %s\n", path.c_str());
            return false;
        }
        MetaParseResult meta = ParseMeta(text, path);
        for (const auto& message : meta.messages) std::fputs(message.c_str(), stdout);
        if (!meta.valid) {
            std::printf("Parse stream param failed\n");
            return false;
        }
        recording.duration_s = static_cast<uint32_t>(meta.duration);
    }
    return true;
}

std::unique_ptr<MediaParse> SimulatedCamera::MakeReader(const MediaClock& clock) const {
    const auto video = config_.video_handler;
    const auto audio = config_.audio_handler;
    return std::make_unique<MediaParse>(
        [video](ov_video_format_e format, unsigned char* frame, unsigned int size, unsigned int ts, int key,
                int service_id) {
            if (service_id > 0) video(service_id, format, frame, size, ts, key);
        },
        [audio](ov_audio_format_e format, unsigned char* frame, unsigned int size, unsigned int ts, int service_id) {
            if (service_id > 0) audio(service_id, format, frame, size, ts);
        },
        clock);
}

bool SimulatedCamera::StartDevices(const DummyIpcConfig& config, const MediaClock& clock) {
    for (size_t i = 0; i < live_readers_.size(); ++i) {
        live_readers_[i] = MakeReader(clock);
        if (live_readers_[i]->StartLive(0, live_prefixes_[i]) != 0) return false;
    }
    vod_reader_ = MakeReader(clock);
    const auto picture_sink = config.picture_handler;
    picture_ = std::make_shared<PictureParser>([picture_sink](unsigned char* picture, unsigned int length,
                                                              const char* id) {
        picture_sink(picture, length, id != nullptr ? OV_TRIGGER_PIC : OV_EVENT_MOVEMENT, id);
    });
    if (picture_->Start(config.picture_interval_s, picture_file_) != 0) return false;
    current_live_ = kMainStream;
    const auto property_sink = config.set_property_handler;
    PropertyParser::SetHandler(
        [property_sink](const std::string& key, const std::string& value) { property_sink(key.c_str(), value.c_str()); });
    return true;
}

void SimulatedCamera::StopDevices() {
    PropertyParser::SetHandler(nullptr);
    for (auto& reader : live_readers_) reader.reset();
    vod_reader_.reset();
    if (picture_) picture_->Stop();
    picture_.reset();
}

void SimulatedCamera::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return;
    StopDevices();
    started_ = false;
}

int SimulatedCamera::Live(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return -1;
    MediaParse& current = *live_readers_[current_live_];
    switch (cmd) {
        case DUMMY_IPC_MEDIA_START:
            current.AttachService(param.service_id);
            break;
        case DUMMY_IPC_MEDIA_STOP:
            current.DetachService();
            break;
        case DUMMY_IPC_MEDIA_REQUEST_I_FRAME:
            current.RequestIFrame();
            break;
        case DUMMY_IPC_MEDIA_CHANGE_STREAM: {
            const int service_id = current.DetachService();
            current_live_ = param.stream_type == 0 ? kSubStream : kMainStream;
            live_readers_[current_live_]->AttachService(service_id);
            break;
        }
        default:
            break;
    }
    return 0;
}

void SimulatedCamera::ApplyPlaybackControl(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param) {
    switch (cmd) {
        case DUMMY_IPC_MEDIA_STOP:
            vod_reader_->Stop();
            break;
        case DUMMY_IPC_MEDIA_PAUSE:
            vod_reader_->Pause(true);
            break;
        case DUMMY_IPC_MEDIA_UNPAUSE:
            vod_reader_->Pause(false);
            break;
        case DUMMY_IPC_MEDIA_SET_PARAM:
            vod_reader_->SetSpeed(param.speed, param.key_only != 0);
            break;
        default:
            break;
    }
}

int SimulatedCamera::VodByFile(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return -1;
    if (cmd == DUMMY_IPC_MEDIA_START) {
        return vod_reader_->StartVod(param.service_id, ParamSource(param), param.base_time_ms);
    }
    if (cmd == DUMMY_IPC_MEDIA_SEEK) {
        vod_reader_->Seek(param.seek_timestamp_ms);
        return 0;
    }
    ApplyPlaybackControl(cmd, param);
    return 0;
}

int SimulatedCamera::VodByUtc(DummyIpcMediaCmd cmd, const DummyIpcMediaParam& param) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return -1;
    if (cmd == DUMMY_IPC_MEDIA_SEEK) {
        SeekOnTimeline(param);
    } else if (cmd != DUMMY_IPC_MEDIA_START) {
        ApplyPlaybackControl(cmd, param);
    }
    return 0;
}

void SimulatedCamera::SeekOnTimeline(const DummyIpcMediaParam& param) {
    const auto position = LocateOnTimeline(recordings_, param.seek_timestamp_ms);
    if (!position) return;
    const std::string& prefix = recordings_[position->recording].prefix;
    MediaParse& reader = *vod_reader_;
    const uint64_t offset_ms = param.seek_timestamp_ms - position->base_ms;
    if (!reader.IsRunning()) {
        // Stays paused until the relay's resume command.
        reader.Pause(true);
        if (reader.StartVod(param.service_id, prefix, position->base_ms) == 0) reader.Seek(offset_ms);
        return;
    }
    reader.Pause(true);
    if (reader.prefix() != prefix && reader.StartVod(param.service_id, prefix, position->base_ms) != 0) return;
    reader.Seek(offset_ms);
    reader.Pause(false);
}

int SimulatedCamera::ReportVodList(uint32_t start_time, const char* id,
                                   ov_query_storage_record_response_cb on_complete) {
    std::vector<ov_query_storage_record_response_s> records;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) return -1;
        records = BuildRecordList(recordings_, start_time);
    }
    if (on_complete == nullptr) return -1;
    int result = on_complete(static_cast<int>(records.size()), id, records.data());
    std::printf("dummy_ipc_report_vod_list result: %d\n", result);
    return 0;
}

int SimulatedCamera::CopyMediaParam(const MediaParse& reader, ov_video_param_s* video, ov_audio_param_s* audio,
                                    double* duration) {
    if (video == nullptr || audio == nullptr || duration == nullptr) return -1;
    reader.GetMediaParam(*video, *audio, *duration);
    return 0;
}

int SimulatedCamera::GetLiveMediaParam(ov_video_param_s* video, ov_audio_param_s* audio, double* duration) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return -1;
    return CopyMediaParam(*live_readers_[current_live_], video, audio, duration);
}

int SimulatedCamera::GetVodMediaParam(ov_video_param_s* video, ov_audio_param_s* audio, double* duration) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return -1;
    return CopyMediaParam(*vod_reader_, video, audio, duration);
}

int SimulatedCamera::Capture(const char* id) {
    std::shared_ptr<PictureParser> picture;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) return -1;
        picture = picture_;
    }
    return picture->Trigger(id);
}

int SimulatedCamera::SetProperty(const char* key, const char* value) {
    if (!IsStarted()) return -1;
    std::printf("Set property :%s %s\n", key != nullptr ? key : "", value != nullptr ? value : "");
    PropertyParser::SetProperty(key != nullptr ? key : "", value != nullptr ? value : "");
    return 0;
}

void SimulatedCamera::GetAllProperty() {
    if (IsStarted()) PropertyParser::GetAllProperty();
}
