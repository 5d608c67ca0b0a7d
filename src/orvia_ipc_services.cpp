#include "orvia_ipc_services.h"

#include <cstring>

#include "biz/user_interface/device_dispatch.h"
#include "biz/user_interface/device_monitor.h"
#include "biz/user_interface/message_service.h"
#include "common/thread_pool.h"
#include "common/timer_service.h"
#include "utils/logger.h"
#include "utils/raw_enum.h"

namespace {

const uint32_t kCommonPoolWorkers = 10;
const unsigned kVodSupportMin = 1;
const unsigned kVodSupportMax = 8;

int Failed(const char* message) {
    LOGE("%s", message);
    return -1;
}

int StartDeviceDispatch(const ov_config_s* config) {
    return DeviceDispatch::GetInstance()->Init(config) == 0 ? 0 : Failed("start config service failed");
}

int StartCommonPool(const ov_config_s*) {
    return ThreadPool::GetInstance()->Start(kCommonPoolWorkers) == 0 ? 0 : Failed("Start thread pool failed");
}

int StartTimerService(TimerService* service) {
    return service->Start() == 0 ? 0 : Failed("Start timer service failed");
}
int StartEventQueue(const ov_config_s*) { return StartTimerService(TimerService::GetEventInstance()); }
int StartNetworkQueue(const ov_config_s*) { return StartTimerService(TimerService::GetNetworkInstance()); }
int StartUserQueue(const ov_config_s*) { return StartTimerService(TimerService::GetUserInstance()); }

int ApplyPlaybackSettings(const ov_config_s* config) {
    PlaybackSettings settings;
    if (PlaybackSettingsOf(*config, &settings) != 0) return -1;
    // The stream session takes them: SetVodSupport(settings.vod_support), SetVodMode(settings.vod_mode).
    return 0;
}

int ApplyStreamCheck(const ov_config_s* config) {
    // Checks off is what a missing stream checker amounts to; checks on need it.
    return config->stream_auto_check != 0 ? ServiceNotAvailable("Stream check") : 0;
}

int OpenSaveDirectory(const ov_config_s* config) {
    // A negative result of opening the directory logs "Stream auto save path is not correct, path = %s".
    return config->stream_auto_save != 0 ? ServiceNotAvailable("Stream save") : 0;
}

int CreateDeviceMonitor(const ov_config_s*) {
    DeviceMonitor::GetInstance();
    return 0;
}

// ov_init's order. Steps of services still to come, at their places:
//   after the device monitor: PictureSession::GetInstance()->Init();
//     the intercom manager ("start voice intercom manager failed"); the stream session's Init
//     ("start stream session failed");
//   after the playback settings: the P2P module's StartService(DeviceIdentifier(...), 1, stream session)
//     ("Start crtcmdl failed").
int (*const kStartSteps[])(const ov_config_s*) = {
    StartDeviceDispatch,
    StartCommonPool,
    StartEventQueue,
    StartNetworkQueue,
    StartUserQueue,
    CreateDeviceMonitor,
    ApplyPlaybackSettings,
    ApplyStreamCheck,
    OpenSaveDirectory,
};

void ClearDeviceDispatch() {
    if (DeviceDispatch::HasInstance()) DeviceDispatch::GetInstance()->Destroy();
}

// ov_destroy's order: the streaming services end their pool jobs before the queues and the pool, which wait
// for their work, are destroyed. Steps of services still to come, at their places:
//   first: destroy the stream checker; stop the stream session; stop the P2P service; stop the intercom
//     manager;
//   between clearing the configuration and destroying the message service: release the P2P module;
//   after the message service: destroy the stream session, the picture session and the intercom manager.
// Upstream messages still queued when the message service goes are discarded, not sent.
void (*const kStopSteps[])() = {
    ClearDeviceDispatch,
    MessageService::DestroyInstance,
    TimerService::DestroyNetworkInstance,
    TimerService::DestroyEventInstance,
    TimerService::DestroyUserInstance,
    ThreadPool::DestroyInstance,
    DeviceDispatch::DestroyInstance,
    DeviceMonitor::DestroyInstance,
};

}  // namespace

unsigned ClampVodSupport(uint32_t storage_record_source_num) {
    if (storage_record_source_num < kVodSupportMin) return kVodSupportMin;
    if (storage_record_source_num > kVodSupportMax) return kVodSupportMax;
    return storage_record_source_num;
}

int PlaybackSettingsOf(const ov_config_s& config, PlaybackSettings* settings) {
    settings->vod_support = ClampVodSupport(config.storage_record_source_num);
    const int mode = RawEnum(config.storage_record_mode);
    switch (mode) {
        case OV_STREAM_CMD_STORAGE_RECORD_BY_FILE:
            settings->vod_mode = VOD_MODE_UTC_TO_NAME;
            return 0;
        case OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME:
            settings->vod_mode = VOD_MODE_UTC;
            return 0;
        default:
            LOGE("Storage record mode is error, mode = %d", mode);
            return -1;
    }
}

std::string DeviceIdentifier(const std::string& product_key, const std::string& device_name) {
    return product_key + "_" + device_name;
}

int StartServices(const ov_config_s* config) {
    for (auto step : kStartSteps) {
        if (step(config) != 0) return -1;
    }
    return 0;
}

void StopServices() {
    for (auto step : kStopSteps) step();
}

int ServiceNotAvailable(const char* service) {
    LOGE("%s is not available yet", service);
    return -1;
}

std::string AdapterText(const char* text, int len) {
    if (text == nullptr || len <= 0) return std::string();
    std::string copy(static_cast<size_t>(len), '\0');
    copy.replace(0, strnlen(text, copy.size()), text, strnlen(text, copy.size()));
    return copy;
}
