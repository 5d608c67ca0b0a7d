// The SDK's copy of the start-up configuration and its only way to call the device program back.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "orvia_ipc.h"

class DeviceDispatch;

// The argument of one queued call; owned by the queued task and deleted by its recycle step.
struct DeviceDispatchEntry {
    int service_id = 0;
    ov_on_push_streaming_cmd_type_e cmd = OV_STORAGE_RECORD_START;
    DeviceDispatch* dispatch = nullptr;
    ov_stream_type_e type = OV_STREAM_CMD_LIVE;
    ov_cloud_event_type_e cloud_event_ = OV_CLOUD_EVENT_MASK;
    ov_stream_param_s param{};
    ov_on_push_streaming_cmd_param_s on_push_streaming_cmd_param{};
    std::string id;
};

// Every call of the device program first checks that the configuration is in place and that the callback
// is set; otherwise it returns -1 (the void ones return) and nothing is called or queued.
// "Async" calls are queued on the user task queue and return 0 once queued; the callback's result goes
// nowhere. The other calls run the callback on the caller's thread.
class DeviceDispatch {
public:
    DeviceDispatch();
    virtual ~DeviceDispatch();
    DeviceDispatch(const DeviceDispatch&) = delete;
    DeviceDispatch& operator=(const DeviceDispatch&) = delete;

    static DeviceDispatch* GetInstance();
    static void DestroyInstance();
    // Whether the instance exists, without creating it.
    static bool HasInstance();

    // Checks and copies the configuration. 0, or -1 for a rejected one (silently, but "Illegal input" for
    // null); a second Init keeps the first configuration ("Already init").
    int Init(const ov_config_s* config);
    // Zeroes the configuration copy. Always 0.
    int Destroy();

    // The configured texts, or empty ones when not initialised.
    std::string GetProductKey() const;
    std::string GetDeviceName() const;
    std::string GetDeviceSecret() const;

    int StartPushStreamingAsync(int service_id, ov_stream_type_e type, const ov_stream_param_s* param);
    int StopPushStreamingAsync(int service_id);
    // The seek timestamp, truncated to whole units.
    int OnPushStreamingCmdAsync(int service_id, ov_on_push_streaming_cmd_type_e cmd, double timestamp);
    // Play parameters: key_only as 0 or 1, speed truncated.
    int OnPushStreamingCmdAsync(int service_id, ov_on_push_streaming_cmd_type_e cmd, int key_only, double speed);
    int StartVoiceIntercomAsync(int service_id);
    int StopVoiceIntercomAsync(int service_id);
    int TriggerPicCaptureAsync(const std::string& id);
    // message is not passed on: the device gets a zeroed parameter record.
    int CloudEventAsync(ov_cloud_event_type_e event, const std::string& message);

    int VoiceIntercomReceiveMetadata(int service_id, const ov_audio_param_s* audio_param);
    void VoiceIntercomReceiveData(const char* buffer, unsigned len);
    // type 0, 1, 2 are the record types of that value, every other value means all types. 0 once called.
    int QueryStorageRecord(uint32_t start_time, uint32_t stop_time, int num, int type, const std::string& id,
                           ov_query_storage_record_response_cb on_complete);
    // 0 once called.
    int QueryStorageRecordByMonth(const char* month, const char* id,
                                  ov_query_storage_record_by_month_response_cb on_complete);

    int StartPushStreaming(int service_id, ov_stream_type_e type, const ov_stream_param_s* param);
    int StopPushStreaming(int service_id);
    int StartVoiceIntercom(int service_id);
    int StopVoiceIntercom(int service_id);
    int TriggerPicCapture(const std::string& id);

private:
    // Copies the callback out of the configuration: false when not initialised or not configured.
    template <typename Callback>
    bool GetCallback(Callback ov_config_s::*field, Callback* callback) const;
    // Queues process(entry) on the user task queue, its recycle step deleting the entry.
    int Queue(std::unique_ptr<DeviceDispatchEntry> entry, void (*process)(void* arg));
    // The entry of a queued call, or null after "Should not arrive here".
    static DeviceDispatchEntry* EntryOf(void* arg);
    static void RecycleEntry(void* arg);
    static void ProcessStartPushStreaming(void* arg);
    static void ProcessStopPushStreaming(void* arg);
    static void ProcessPushStreamingCmd(void* arg);
    static void ProcessStartVoiceIntercom(void* arg);
    static void ProcessStopVoiceIntercom(void* arg);
    static void ProcessTriggerPicCapture(void* arg);
    static void ProcessCloudEvent(void* arg);

    // Written by Init and Destroy only; the lock lets a queued call that races ov_destroy read them safely.
    mutable std::mutex config_mutex_;
    bool inited_ = false;
    std::unique_ptr<ov_config_s> config_;

    static std::atomic<DeviceDispatch*> instance_;
};
