#include "orvia_ipc_dump.h"

#include <cstdio>
#include <cstring>

#include "utils/raw_enum.h"

namespace {

const char* const kStartLine = "--------------------param----start--------------------";
const char* const kStopLine = "--------------------param----stop--------------------";
const char* const kNotNull = "point is not null";
const char* const kNull = "point is null";

std::string Bracketed(const char* function) { return std::string("[") + function + "]"; }

// The four audio lines shared by the dumps that take an audio record; a null record shows zeros.
void AddAudioParam(ParamDump& dump, const ov_audio_param_s* audio_param) {
    const ov_audio_param_s audio = audio_param != nullptr ? *audio_param : ov_audio_param_s{};
    dump.Pointer("audio_param", audio_param)
        .Int("audio_param format", RawEnum(audio.format))
        .Int("audio_param sample_rate", RawEnum(audio.sample_rate))
        .Int("audio_param sample_bits", RawEnum(audio.sample_bits))
        .Int("audio_param channel", RawEnum(audio.channel));
}

}  // namespace

ParamDump::ParamDump(const std::string& title) : text_(title + "\n" + kStartLine) {}

ParamDump& ParamDump::Int(const char* name, int value) {
    text_ += std::string("\n") + name + " " + std::to_string(value);
    return *this;
}

ParamDump& ParamDump::Double(const char* name, double value) {
    char number[64];
    snprintf(number, sizeof(number), "%lf", value);
    text_ += std::string("\n") + name + " " + number;
    return *this;
}

ParamDump& ParamDump::Pointer(const char* name, const void* value) {
    text_ += std::string("\n") + name + " " + (value != nullptr ? kNotNull : kNull);
    return *this;
}

ParamDump& ParamDump::Text(const char* name, const char* value, size_t max_len) {
    std::string shown = value != nullptr ? std::string(value, strnlen(value, max_len)) : kNull;
    text_ += std::string("\n") + name + " " + shown;
    return *this;
}

ParamDump& ParamDump::Raw(const char* name, const char* value) {
    text_ += std::string("\n") + name + " " + (value != nullptr ? value : "(null)");
    return *this;
}

std::string ParamDump::Finish() { return text_ + "\n" + kStopLine; }

std::string InitDump(const ov_config_s* config) {
    ParamDump dump(Bracketed("ov_init"));
    dump.Pointer("ov_config_s", config);
    if (config == nullptr) return dump.Finish();
    // The fixed text fields need not be terminated: print no further than each field.
    dump.Text("product_key", config->product_key, sizeof(config->product_key))
        .Text("device_name", config->device_name, sizeof(config->device_name))
        .Text("device_secret", config->device_secret, sizeof(config->device_secret))
        .Int("log_level", RawEnum(config->log_level))
        .Int("log_dest", RawEnum(config->log_dest))
        .Pointer("log_cb", reinterpret_cast<const void*>(config->log_cb))
        .Int("storage_record_mode", RawEnum(config->storage_record_mode))
        .Int("live_p2p_num", static_cast<int>(config->live_p2p_num))
        .Int("storage_record_source_num", static_cast<int>(config->storage_record_source_num))
        .Int("stream_auto_check", static_cast<int>(config->stream_auto_check))
        .Int("stream_auto_save", static_cast<int>(config->stream_auto_save))
        .Text("stream_auto_save_path", config->stream_auto_save_path, sizeof(config->stream_auto_save_path));
    const struct {
        const char* name;
        const void* callback;
    } callbacks[] = {
        {"start_push_streaming_cb", reinterpret_cast<const void*>(config->start_push_streaming_cb)},
        {"stop_push_streaming_cb", reinterpret_cast<const void*>(config->stop_push_streaming_cb)},
        {"on_push_streaming_cmd_cb", reinterpret_cast<const void*>(config->on_push_streaming_cmd_cb)},
        {"start_voice_intercom_cb", reinterpret_cast<const void*>(config->start_voice_intercom_cb)},
        {"stop_voice_intercom_cb", reinterpret_cast<const void*>(config->stop_voice_intercom_cb)},
        {"voice_intercom_receive_metadata_cb",
         reinterpret_cast<const void*>(config->voice_intercom_receive_metadata_cb)},
        {"voice_intercom_receive_data_cb", reinterpret_cast<const void*>(config->voice_intercom_receive_data_cb)},
        {"query_storage_record_cb", reinterpret_cast<const void*>(config->query_storage_record_cb)},
        {"query_storage_record_by_month_cb",
         reinterpret_cast<const void*>(config->query_storage_record_by_month_cb)},
        {"trigger_pic_capture_cb", reinterpret_cast<const void*>(config->trigger_pic_capture_cb)},
        {"trigger_record_cb", reinterpret_cast<const void*>(config->trigger_record_cb)},
        {"cloud_event_cb", reinterpret_cast<const void*>(config->cloud_event_cb)},
    };
    for (const auto& entry : callbacks) dump.Pointer(entry.name, entry.callback);
    return dump.Finish();
}

std::string DestroyDump() { return ParamDump("ov_destroy").Finish(); }

std::string StreamSendConfigDump(int service_id, uint32_t bitrate_kbps, double duration,
                                 const ov_video_param_s* video_param, const ov_audio_param_s* audio_param) {
    const ov_video_param_s video = video_param != nullptr ? *video_param : ov_video_param_s{};
    ParamDump dump(Bracketed("ov_stream_send_config"));
    dump.Int("service id", service_id)
        .Int("bitrate_kbps", static_cast<int>(bitrate_kbps))
        .Double("duration", duration)
        .Pointer("video_param", video_param)
        .Int("video_param format", RawEnum(video.format))
        .Int("video_param fps", static_cast<int>(video.fps))
        .Int("video_param key_frame_interval_ms", static_cast<int>(video.key_frame_interval_ms));
    AddAudioParam(dump, audio_param);
    return dump.Finish();
}

std::string StreamSendVideoDump(int service_id, int format, const unsigned char* buf, uint32_t len,
                                int key_frame, uint32_t timestamp_ms) {
    return ParamDump(Bracketed("ov_stream_send_video"))
        .Int("service_id", service_id)
        .Int("format", format)
        .Pointer("buf", buf)
        .Int("len", static_cast<int>(len))
        .Int("key_frame", key_frame)
        .Int("timestamp_ms", static_cast<int>(timestamp_ms))
        .Finish();
}

std::string StreamSendAudioDump(int service_id, int format, const unsigned char* buf, uint32_t len,
                                uint32_t timestamp_ms) {
    return ParamDump(Bracketed("ov_stream_send_audio"))
        .Int("service_id", service_id)
        .Int("format", format)
        .Pointer("buf", buf)
        .Int("len", static_cast<int>(len))
        .Int("timestamp_ms", static_cast<int>(timestamp_ms))
        .Finish();
}

std::string PostAlarmImageDump(const char* buffer, int buffer_len, int type, const char* id) {
    return ParamDump(Bracketed("ov_post_alarm_image"))
        .Pointer("buffer", buffer)
        .Int("buffer_len", buffer_len)
        .Int("type", type)
        .Text("id", id)
        .Finish();
}

std::string VoiceIntercomStartServiceDump(int service_id, const ov_audio_param_s* audio_param) {
    ParamDump dump(Bracketed("ov_voice_intercom_start_service"));
    dump.Int("service_id", service_id);
    AddAudioParam(dump, audio_param);
    return dump.Finish();
}

std::string VoiceIntercomSendAudioDump(int service_id, const char* buffer, int buffer_len, uint32_t timestamp_ms) {
    return ParamDump(Bracketed("ov_voice_intercom_send_audio"))
        .Int("service_id", service_id)
        .Pointer("buffer", buffer)
        .Int("buffer_len", buffer_len)
        .Int("timestamp_ms", static_cast<int>(timestamp_ms))
        .Finish();
}

std::string VoiceIntercomStopServiceDump(int service_id) {
    return ParamDump(Bracketed("ov_voice_intercom_stop_service")).Int("service_id", service_id).Finish();
}

std::string TesseraAdapterDump(int type, const ov_tessera_adapter_property_s* in) {
    ParamDump dump(Bracketed("ov_tessera_adapter"));
    dump.Int("type", type).Pointer("in", in);
    if (in != nullptr) {
        dump.Int("in dev_id", in->dev_id)
            .Text("in id", in->id)
            .Int("in id_len", in->id_len)
            .Text("in service_id", in->service_id)
            .Int("in service_id_len", in->service_id_len)
            .Text("in request", in->request)
            .Int("in request_len", in->request_len);
    }
    return dump.Finish();
}

std::string PostFileCloseDump(int service_id, const char* filename) {
    return ParamDump(Bracketed("ov_post_file_close")).Int("service_id", service_id).Raw("filename", filename).Finish();
}

std::string PostPreCompleteDump(int service_id) {
    return ParamDump(Bracketed("ov_post_pre_complete")).Int("service_id", service_id).Finish();
}
