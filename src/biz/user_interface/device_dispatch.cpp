#include "biz/user_interface/device_dispatch.h"

#include <cstring>

#include "common/timer_service.h"
#include "utils/logger.h"
#include "utils/raw_enum.h"

std::atomic<DeviceDispatch*> DeviceDispatch::instance_{nullptr};

namespace {

std::mutex g_instance_mutex;

const size_t kProductKeyMax = 20;
const size_t kDeviceNameMax = 32;
const size_t kDeviceSecretMax = 64;

// Length of a fixed text field, reading no further than the field itself.
template <size_t N>
size_t FieldLength(const char (&field)[N]) {
    return strnlen(field, N);
}

bool ConfigAcceptable(const ov_config_s& config) {
    if (FieldLength(config.product_key) > kProductKeyMax) return false;
    if (FieldLength(config.device_name) > kDeviceNameMax) return false;
    if (FieldLength(config.device_secret) > kDeviceSecretMax) return false;
    const int log_level = RawEnum(config.log_level);
    const int log_dest = RawEnum(config.log_dest);
    if (log_level < OV_LOG_ERROR || log_level > OV_LOG_VERBOSE) return false;
    if (log_dest < OV_LOG_DESTINATION_FILE || log_dest > OV_LOG_DESTINATION_USER_DEFINE) return false;
    if (log_dest == OV_LOG_DESTINATION_USER_DEFINE && config.log_cb == nullptr) return false;
    // Every callback but cloud_event_cb is required, trigger_record_cb included although it is never called.
    const void* const required[] = {
        reinterpret_cast<const void*>(config.start_push_streaming_cb),
        reinterpret_cast<const void*>(config.stop_push_streaming_cb),
        reinterpret_cast<const void*>(config.start_voice_intercom_cb),
        reinterpret_cast<const void*>(config.stop_voice_intercom_cb),
        reinterpret_cast<const void*>(config.voice_intercom_receive_data_cb),
        reinterpret_cast<const void*>(config.voice_intercom_receive_metadata_cb),
        reinterpret_cast<const void*>(config.query_storage_record_cb),
        reinterpret_cast<const void*>(config.query_storage_record_by_month_cb),
        reinterpret_cast<const void*>(config.on_push_streaming_cmd_cb),
        reinterpret_cast<const void*>(config.trigger_pic_capture_cb),
        reinterpret_cast<const void*>(config.trigger_record_cb),
    };
    for (const void* callback : required) {
        if (callback == nullptr) return false;
    }
    return true;
}

ov_storage_record_type_e RecordTypeOf(int type) {
    switch (type) {
        case OV_STORAGE_RECORD_PLAN:
        case OV_STORAGE_RECORD_ALARM:
        case OV_STORAGE_RECORD_INITIATIVE:
            return static_cast<ov_storage_record_type_e>(type);
        default:
            return OV_STORAGE_RECORD_ANY;
    }
}

}  // namespace

DeviceDispatch::DeviceDispatch() : config_(new ov_config_s()) {}

DeviceDispatch::~DeviceDispatch() = default;

DeviceDispatch* DeviceDispatch::GetInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (instance_.load() == nullptr) instance_ = new DeviceDispatch();
    return instance_.load();
}

void DeviceDispatch::DestroyInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    delete instance_.exchange(nullptr);
}

bool DeviceDispatch::HasInstance() { return instance_.load() != nullptr; }

// Init and Destroy are the only writers and never run beside each other (ov_init, ov_destroy); the lock is
// for the readers on other threads, and no log line is written while it is held.
int DeviceDispatch::Init(const ov_config_s* config) {
    if (inited_) {
        LOGW("Already init");
        return 0;
    }
    if (config == nullptr) {
        LOGE("Illegal input");
        return -1;
    }
    // The P2P module takes config->log_level as its log level here, before the checks below.
    if (!ConfigAcceptable(*config)) return -1;
    {
        std::lock_guard<std::mutex> lock(config_mutex_);
        *config_ = *config;
        inited_ = true;
    }
    LOGI("Product key:       %s", config_->product_key);
    LOGI("Device name:       %s", config_->device_name);
    return 0;
}

int DeviceDispatch::Destroy() {
    if (!inited_) {
        LOGW("Not inited yet");
        return 0;
    }
    std::lock_guard<std::mutex> lock(config_mutex_);
    *config_ = ov_config_s();
    inited_ = false;
    return 0;
}

std::string DeviceDispatch::GetProductKey() const {
    std::lock_guard<std::mutex> lock(config_mutex_);
    return inited_ ? config_->product_key : "";
}

std::string DeviceDispatch::GetDeviceName() const {
    std::lock_guard<std::mutex> lock(config_mutex_);
    return inited_ ? config_->device_name : "";
}

std::string DeviceDispatch::GetDeviceSecret() const {
    std::lock_guard<std::mutex> lock(config_mutex_);
    return inited_ ? config_->device_secret : "";
}

template <typename Callback>
bool DeviceDispatch::GetCallback(Callback ov_config_s::*field, Callback* callback) const {
    std::lock_guard<std::mutex> lock(config_mutex_);
    *callback = inited_ ? (*config_).*field : nullptr;
    return *callback != nullptr;
}

int DeviceDispatch::Queue(std::unique_ptr<DeviceDispatchEntry> entry, void (*process)(void* arg)) {
    entry->dispatch = this;
    TimerTaskProperty task;
    task.process = process;
    task.recycle = RecycleEntry;
    task.arg = entry.get();
    if (TimerService::GetUserInstance()->AddTask(task, 0) != 0) return -1;  // not taken: entry freed here
    entry.release();
    return 0;
}

DeviceDispatchEntry* DeviceDispatch::EntryOf(void* arg) {
    auto* entry = static_cast<DeviceDispatchEntry*>(arg);
    if (entry == nullptr || entry->dispatch == nullptr) {
        LOGE("Should not arrive here");
        return nullptr;
    }
    return entry;
}

void DeviceDispatch::RecycleEntry(void* arg) {
    if (arg == nullptr) {
        LOGE("Should not arrive here");
        return;
    }
    delete static_cast<DeviceDispatchEntry*>(arg);
}

// Queued calls. A call that runs after the configuration was cleared finds its callback absent and is
// skipped.

int DeviceDispatch::StartPushStreamingAsync(int service_id, ov_stream_type_e type, const ov_stream_param_s* param) {
    ov_start_push_streaming_cb callback;
    if (!GetCallback(&ov_config_s::start_push_streaming_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    entry->type = type;
    if (param != nullptr) entry->param = *param;
    return Queue(std::move(entry), ProcessStartPushStreaming);
}

void DeviceDispatch::ProcessStartPushStreaming(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_start_push_streaming_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::start_push_streaming_cb, &callback)) {
        callback(entry->service_id, entry->type, &entry->param);
    }
}

int DeviceDispatch::StopPushStreamingAsync(int service_id) {
    ov_stop_push_streaming_cb callback;
    if (!GetCallback(&ov_config_s::stop_push_streaming_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    return Queue(std::move(entry), ProcessStopPushStreaming);
}

void DeviceDispatch::ProcessStopPushStreaming(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_stop_push_streaming_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::stop_push_streaming_cb, &callback)) {
        callback(entry->service_id);
    }
}

int DeviceDispatch::OnPushStreamingCmdAsync(int service_id, ov_on_push_streaming_cmd_type_e cmd, double timestamp) {
    ov_on_push_streaming_cmd_cb callback;
    if (!GetCallback(&ov_config_s::on_push_streaming_cmd_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    entry->cmd = cmd;
    entry->on_push_streaming_cmd_param.seek.timestamp = static_cast<uint32_t>(timestamp);
    return Queue(std::move(entry), ProcessPushStreamingCmd);
}

int DeviceDispatch::OnPushStreamingCmdAsync(int service_id, ov_on_push_streaming_cmd_type_e cmd, int key_only,
                                            double speed) {
    ov_on_push_streaming_cmd_cb callback;
    if (!GetCallback(&ov_config_s::on_push_streaming_cmd_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    entry->cmd = cmd;
    entry->on_push_streaming_cmd_param.set_param.key_only = key_only != 0 ? 1 : 0;
    entry->on_push_streaming_cmd_param.set_param.speed = static_cast<uint32_t>(speed);
    return Queue(std::move(entry), ProcessPushStreamingCmd);
}

void DeviceDispatch::ProcessPushStreamingCmd(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_on_push_streaming_cmd_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::on_push_streaming_cmd_cb, &callback)) {
        callback(entry->service_id, entry->cmd, &entry->on_push_streaming_cmd_param);
    }
}

int DeviceDispatch::StartVoiceIntercomAsync(int service_id) {
    ov_start_voice_intercom_cb callback;
    if (!GetCallback(&ov_config_s::start_voice_intercom_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    return Queue(std::move(entry), ProcessStartVoiceIntercom);
}

void DeviceDispatch::ProcessStartVoiceIntercom(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_start_voice_intercom_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::start_voice_intercom_cb, &callback)) {
        callback(entry->service_id);
    }
}

int DeviceDispatch::StopVoiceIntercomAsync(int service_id) {
    ov_stop_voice_intercom_cb callback;
    if (!GetCallback(&ov_config_s::stop_voice_intercom_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->service_id = service_id;
    return Queue(std::move(entry), ProcessStopVoiceIntercom);
}

void DeviceDispatch::ProcessStopVoiceIntercom(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_stop_voice_intercom_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::stop_voice_intercom_cb, &callback)) {
        callback(entry->service_id);
    }
}

int DeviceDispatch::TriggerPicCaptureAsync(const std::string& id) {
    ov_trigger_pic_capture_cb callback;
    if (!GetCallback(&ov_config_s::trigger_pic_capture_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->id = id;
    return Queue(std::move(entry), ProcessTriggerPicCapture);
}

void DeviceDispatch::ProcessTriggerPicCapture(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_trigger_pic_capture_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::trigger_pic_capture_cb, &callback)) {
        callback(entry->id.c_str());
    }
}

int DeviceDispatch::CloudEventAsync(ov_cloud_event_type_e event, const std::string& /*message*/) {
    ov_cloud_event_cb callback;
    if (!GetCallback(&ov_config_s::cloud_event_cb, &callback)) return -1;
    std::unique_ptr<DeviceDispatchEntry> entry(new DeviceDispatchEntry());
    entry->cloud_event_ = event;
    return Queue(std::move(entry), ProcessCloudEvent);
}

void DeviceDispatch::ProcessCloudEvent(void* arg) {
    DeviceDispatchEntry* entry = EntryOf(arg);
    ov_cloud_event_cb callback;
    if (entry != nullptr && entry->dispatch->GetCallback(&ov_config_s::cloud_event_cb, &callback)) {
        ov_cloud_event_param_s param{};
        callback(entry->cloud_event_, &param);
    }
}

// Immediate calls, on the caller's thread.

int DeviceDispatch::VoiceIntercomReceiveMetadata(int service_id, const ov_audio_param_s* audio_param) {
    ov_voice_intercom_receive_metadata_cb callback;
    if (!GetCallback(&ov_config_s::voice_intercom_receive_metadata_cb, &callback)) return -1;
    return callback(service_id, audio_param);
}

void DeviceDispatch::VoiceIntercomReceiveData(const char* buffer, unsigned len) {
    ov_voice_intercom_receive_data_cb callback;
    if (GetCallback(&ov_config_s::voice_intercom_receive_data_cb, &callback)) callback(buffer, len);
}

int DeviceDispatch::QueryStorageRecord(uint32_t start_time, uint32_t stop_time, int num, int type,
                                       const std::string& id, ov_query_storage_record_response_cb on_complete) {
    ov_query_storage_record_cb callback;
    if (!GetCallback(&ov_config_s::query_storage_record_cb, &callback)) return -1;
    callback(start_time, stop_time, num, RecordTypeOf(type), id.c_str(), on_complete);
    return 0;
}

int DeviceDispatch::QueryStorageRecordByMonth(const char* month, const char* id,
                                              ov_query_storage_record_by_month_response_cb on_complete) {
    ov_query_storage_record_by_month_cb callback;
    if (!GetCallback(&ov_config_s::query_storage_record_by_month_cb, &callback)) return -1;
    callback(month, id, on_complete);
    return 0;
}

int DeviceDispatch::StartPushStreaming(int service_id, ov_stream_type_e type, const ov_stream_param_s* param) {
    ov_start_push_streaming_cb callback;
    if (!GetCallback(&ov_config_s::start_push_streaming_cb, &callback)) return -1;
    return callback(service_id, type, param);
}

int DeviceDispatch::StopPushStreaming(int service_id) {
    ov_stop_push_streaming_cb callback;
    if (!GetCallback(&ov_config_s::stop_push_streaming_cb, &callback)) return -1;
    return callback(service_id);
}

int DeviceDispatch::StartVoiceIntercom(int service_id) {
    ov_start_voice_intercom_cb callback;
    if (!GetCallback(&ov_config_s::start_voice_intercom_cb, &callback)) return -1;
    return callback(service_id);
}

int DeviceDispatch::StopVoiceIntercom(int service_id) {
    ov_stop_voice_intercom_cb callback;
    if (!GetCallback(&ov_config_s::stop_voice_intercom_cb, &callback)) return -1;
    return callback(service_id);
}

int DeviceDispatch::TriggerPicCapture(const std::string& id) {
    ov_trigger_pic_capture_cb callback;
    if (!GetCallback(&ov_config_s::trigger_pic_capture_cb, &callback)) return -1;
    return callback(id.c_str());
}
