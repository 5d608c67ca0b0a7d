// A valid start-up configuration whose callbacks record every call, for the tests of the public interface
// and of the device dispatch.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "orvia_ipc.h"

namespace testconfig {

// One device callback as it arrived.
struct DeviceCall {
    std::string text;  // e.g. "start 7 type 1 file a.mp4"
    std::thread::id thread;
};

// Process-wide, because the callbacks are plain C functions.
class DeviceRecorder {
public:
    static DeviceRecorder& Get() {
        static DeviceRecorder recorder;
        return recorder;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    void Add(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({text, std::this_thread::get_id()});
    }
    std::vector<DeviceCall> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& call : Calls()) texts.push_back(call.text);
        return texts;
    }
    // Milliseconds each asynchronous callback sleeps before it records its call's end.
    std::atomic<int> callback_sleep_ms{0};
    std::atomic<int> in_callback{0};
    std::atomic<int> overlaps{0};

private:
    std::mutex mutex_;
    std::vector<DeviceCall> calls_;
};

inline std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char* fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof(text), fmt, args);
    va_end(args);
    return text;
}

// Records an asynchronous call, sleeping inside it as configured, and notes overlapping calls.
inline int RecordAsync(const std::string& text) {
    DeviceRecorder& recorder = DeviceRecorder::Get();
    if (++recorder.in_callback > 1) ++recorder.overlaps;
    recorder.Add(text);
    int sleep_ms = recorder.callback_sleep_ms;
    if (sleep_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
    recorder.Add("end " + text);
    --recorder.in_callback;
    return 0;
}

inline int StartPush(int service_id, ov_stream_type_e type, const ov_stream_param_s* param) {
    return RecordAsync(Format("start %d type %d pre %d file %s base %d offset %d begin %u end %u seek %u", service_id,
                              type, param->pre_time, param->file_name, param->timestamp_base,
                              param->timestamp_offset, param->start_time, param->stop_time, param->seek_time));
}
inline int StopPush(int service_id) { return RecordAsync(Format("stop %d", service_id)); }
inline int PushCmd(int service_id, ov_on_push_streaming_cmd_type_e cmd, const ov_on_push_streaming_cmd_param_s* p) {
    return RecordAsync(Format("cmd %d %d seek %u speed %u key_only %u", service_id, cmd, p->seek.timestamp,
                              p->set_param.speed, p->set_param.key_only));
}
inline int StartIntercom(int service_id) { return RecordAsync(Format("intercom start %d", service_id)); }
inline int StopIntercom(int service_id) { return RecordAsync(Format("intercom stop %d", service_id)); }
inline int Metadata(int service_id, const ov_audio_param_s* audio) {
    DeviceRecorder::Get().Add(Format("metadata %d format %d rate %d", service_id, audio->format, audio->sample_rate));
    return 42;
}
inline void ReceiveData(const char* buffer, uint32_t size) {
    DeviceRecorder::Get().Add(Format("data %.*s %u", static_cast<int>(size), buffer, size));
}
inline int QueryDone(int, const char*, const ov_query_storage_record_response_s*) { return 0; }
inline int MonthDone(const char*, const int*) { return 0; }
inline void Query(uint32_t start, uint32_t stop, int num, ov_storage_record_type_e type, const char* id,
                  ov_query_storage_record_response_cb done) {
    DeviceRecorder::Get().Add(
        Format("query %u %u %d type %d id %s done %s", start, stop, num, type, id, done == QueryDone ? "yes" : "no"));
}
inline void QueryMonth(const char* month, const char* id, ov_query_storage_record_by_month_response_cb done) {
    DeviceRecorder::Get().Add(Format("month %s id %s done %s", month, id, done == MonthDone ? "yes" : "no"));
}
inline int TriggerPic(const char* trigger_id) { return RecordAsync(Format("pic %s", trigger_id)); }
inline int TriggerRecord(int, int, int) {
    DeviceRecorder::Get().Add("trigger record");
    return 0;
}
inline int CloudEvent(ov_cloud_event_type_e type, const ov_cloud_event_param_s* param) {
    return RecordAsync(Format("cloud event %d reserved %s", type, param->mask.reserved == nullptr ? "null" : "set"));
}

// Product a1B2, device cam01, playback by time, logs left to the current sink, every callback set.
inline ov_config_s ValidConfig() {
    ov_config_s config;
    memset(&config, 0, sizeof(config));
    strcpy(config.product_key, "a1B2");
    strcpy(config.device_name, "cam01");
    strcpy(config.device_secret, "s3cr3t");
    config.log_level = OV_LOG_DEBUG;
    config.log_dest = OV_LOG_DESTINATION_FILE;
    config.storage_record_mode = OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME;
    config.live_p2p_num = 1;
    config.storage_record_source_num = 2;
    config.start_push_streaming_cb = StartPush;
    config.stop_push_streaming_cb = StopPush;
    config.on_push_streaming_cmd_cb = PushCmd;
    config.start_voice_intercom_cb = StartIntercom;
    config.stop_voice_intercom_cb = StopIntercom;
    config.voice_intercom_receive_metadata_cb = Metadata;
    config.voice_intercom_receive_data_cb = ReceiveData;
    config.query_storage_record_cb = Query;
    config.query_storage_record_by_month_cb = QueryMonth;
    config.trigger_pic_capture_cb = TriggerPic;
    config.trigger_record_cb = TriggerRecord;
    config.cloud_event_cb = CloudEvent;
    return config;
}

}  // namespace testconfig
