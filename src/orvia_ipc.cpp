// The ov_ interface: each function writes its parameter dump, checks the SDK state and its arguments, and
// forwards to the service that does the work. Nothing is thrown across it.
#include "orvia_ipc.h"

#include <atomic>
#include <cstdarg>
#include <exception>
#include <string>

#include "biz/user_interface/device_monitor.h"
#include "biz/user_interface/message_service.h"
#include "ov_build_info.h"
#include "orvia_ipc_dump.h"
#include "orvia_ipc_services.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"
#include "utils/logger.h"
#include "utils/raw_enum.h"

namespace {

// Read without a lock by every call; ov_init and ov_destroy never overlap another call.
std::atomic<bool> g_initialised{false};
std::atomic<bool> g_cloud_connected{false};

// Runs body, turning anything it throws into -1 with a log line.
template <typename Body>
int Boundary(const char* function, Body&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        LOGE("%s: %s", function, e.what());
    } catch (...) {
        LOGE("%s: unknown exception", function);
    }
    return -1;
}

bool NotInitialised() {
    if (g_initialised) return false;
    LOGE("SDK is not init yet");
    return true;
}

void ApplyLogSettings(const ov_config_s* config) {
    if (config == nullptr) return;
    const int log_dest = RawEnum(config->log_dest);
    if (log_dest == OV_LOG_DESTINATION_USER_DEFINE && config->log_cb != nullptr) {
        // ov_log_cb differs from logger_cb only in naming the level's type: the same call.
        logger_set_user_define(reinterpret_cast<logger_cb>(config->log_cb));
    } else if (log_dest == OV_LOG_DESTINATION_STDOUT) {
        logger_set_level(RawEnum(config->log_level));
    }
}

int TesseraAdapter(int type, const ov_tessera_adapter_property_s* in) {
    if (type == OV_TESSERA_ADAPTER_TYPE_CONNECTED) {
        g_cloud_connected = true;
        DeviceMonitor::GetInstance()->ReportConnectionInfo();
        return 0;
    }
    if (!g_cloud_connected) {
        LOGE("Tessera is not connect yet");
        return -1;
    }
    if (in == nullptr) {
        LOGE("Illegal input");
        return -1;
    }
    const std::string id = AdapterText(in->id, in->id_len);
    const std::string service_id = AdapterText(in->service_id, in->service_id_len);
    const std::string request = AdapterText(in->request, in->request_len);
    switch (type) {
        case OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE:
            return MessageService::GetInstance()->TesseraAdapterTslService(in->dev_id, id, service_id, request);
        case OV_TESSERA_ADAPTER_TYPE_ORVIA:
            return MessageService::GetInstance()->TesseraAdapterOrvia(in->dev_id, service_id, request);
        default:
            LOGE("Not recognize adapter type: %d", type);
            return -1;
    }
}

int Control(int type, va_list args) {
    switch (type) {
        case OV_CONTROL_LOG_LEVEL:
            logger_set_level(va_arg(args, int));
            return 0;
        case OV_CONTROL_STREAM_AUTO_CHECK:
            (void)va_arg(args, int);
            return ServiceNotAvailable("Stream check");
        case OV_CONTROL_STREAM_AUTO_SAVE: {
            int on = va_arg(args, int);
            if (on != 0 && va_arg(args, const char*) == nullptr) {
                LOGE("No save path");
                return -1;
            }
            // Stream check: open the path as the save directory, or close it for on 0.
            return ServiceNotAvailable("Stream check");
        }
        default:
            LOGE("Type %d is not support", type);
            return -1;
    }
}

}  // namespace

extern "C" {

int ov_init(const ov_config_s* config) {
    return Boundary(__func__, [&] {
        ApplyLogSettings(config);
        RTMP_SetLogCallback(g_logger_cb);
        LOGI("Build version: %s", OV_BUILD_VERSION);
        LOGI("Build date:    %s", OV_BUILD_DATE);
        LOGI("Build by:      %s", OV_BUILD_BY);
        LOGI("Build id:      %s", OV_BUILD_ID);
        LOGV("%s", InitDump(config).c_str());
        if (g_initialised) {
            LOGI("SDK is already init, do nothing");
            return 0;
        }
        if (StartServices(config) != 0) {
            ov_destroy();
            return -1;
        }
        g_initialised = true;
        LOGI("Init success");
        return 0;
    });
}

int ov_destroy(void) {
    Boundary(__func__, [] {
        LOGV("%s", DestroyDump().c_str());
        g_initialised = false;
        g_cloud_connected = false;
        StopServices();
        LOGI("Destroy success");
        return 0;
    });
    return 0;
}

int ov_stream_send_config(int service_id, uint32_t bitrate_kbps, double duration, const ov_video_param_s* video_param,
                          const ov_audio_param_s* audio_param) {
    return Boundary(__func__, [&] {
        LOGV("%s", StreamSendConfigDump(service_id, bitrate_kbps, duration, video_param, audio_param).c_str());
        if (NotInitialised()) return -1;
        if (video_param == nullptr || audio_param == nullptr) {
            LOGE("invalid parameter(s)");
            return -1;
        }
        // The stream checker takes the frame information (format, fps, key-frame interval), then the stream
        // session's media dispatch every argument.
        return ServiceNotAvailable("Stream session");
    });
}

int ov_stream_send_video(int service_id, ov_video_format_e format, unsigned char* buf, uint32_t len, int key_frame,
                         uint32_t timestamp_ms) {
    return Boundary(__func__, [&] {
        LOGV("%s", StreamSendVideoDump(service_id, RawEnum(format), buf, len, key_frame, timestamp_ms).c_str());
        if (NotInitialised()) return -1;
        if (buf == nullptr) {
            LOGE("invalid param, null pointer");
            return -1;
        }
        // The stream checker sees the frame first (key_frame as a boolean), then the media dispatch.
        return ServiceNotAvailable("Stream session");
    });
}

int ov_stream_send_audio(int service_id, ov_audio_format_e format, unsigned char* buf, uint32_t len,
                         uint32_t timestamp_ms) {
    return Boundary(__func__, [&] {
        LOGV("%s", StreamSendAudioDump(service_id, RawEnum(format), buf, len, timestamp_ms).c_str());
        if (NotInitialised()) return -1;
        if (buf == nullptr) {
            LOGE("invalid param, null pointer");
            return -1;
        }
        // As for video; format is not passed on.
        return ServiceNotAvailable("Stream session");
    });
}

int ov_post_alarm_image(const char* buffer, int buffer_len, ov_event_type_e type, const char* id) {
    return Boundary(__func__, [&] {
        LOGV("%s", PostAlarmImageDump(buffer, buffer_len, RawEnum(type), id).c_str());
        if (NotInitialised()) return -1;
        // The picture session takes buffer, buffer_len, type and id (empty for null).
        return ServiceNotAvailable("Picture session");
    });
}

int ov_voice_intercom_start_service(int service_id, const ov_audio_param_s* audio_param) {
    return Boundary(__func__, [&] {
        LOGV("%s", VoiceIntercomStartServiceDump(service_id, audio_param).c_str());
        if (NotInitialised()) return -1;
        return ServiceNotAvailable("Intercom manager");
    });
}

int ov_voice_intercom_send_audio(int service_id, const char* buffer, int buffer_len, uint32_t timestamp_ms) {
    return Boundary(__func__, [&] {
        LOGV("%s", VoiceIntercomSendAudioDump(service_id, buffer, buffer_len, timestamp_ms).c_str());
        if (NotInitialised()) return -1;
        LOGV("Send audio, service_id:%d, len:%ld, timestamp:%lu", service_id, static_cast<long>(buffer_len),
             static_cast<unsigned long>(timestamp_ms));
        return ServiceNotAvailable("Intercom manager");
    });
}

int ov_voice_intercom_stop_service(int service_id) {
    return Boundary(__func__, [&] {
        LOGV("%s", VoiceIntercomStopServiceDump(service_id).c_str());
        if (NotInitialised()) return -1;
        return ServiceNotAvailable("Intercom manager");
    });
}

int ov_tessera_adapter(ov_tessera_adapter_type_s type, const ov_tessera_adapter_property_s* in) {
    return Boundary(__func__, [&] {
        LOGV("%s", TesseraAdapterDump(RawEnum(type), in).c_str());
        if (NotInitialised()) return -1;
        return TesseraAdapter(RawEnum(type), in);
    });
}

int ov_post_file_close(int service_id, const char* filename) {
    return Boundary(__func__, [&] {
        LOGV("%s", PostFileCloseDump(service_id, filename).c_str());
        if (NotInitialised()) return -1;
        if (filename == nullptr) {
            LOGE("Invalid param filename");
            return -1;
        }
        // The media dispatch ends the playback of that file.
        return ServiceNotAvailable("Stream session");
    });
}

int ov_post_pre_complete(int service_id) {
    return Boundary(__func__, [&] {
        LOGV("%s", PostPreCompleteDump(service_id).c_str());
        if (NotInitialised()) return -1;
        return ServiceNotAvailable("Stream session");
    });
}

int ov_control(ov_control_type_e type, ...) {
    if (NotInitialised()) return -1;
    va_list args;
    va_start(args, type);
    int result = Boundary(__func__, [&] { return Control(RawEnum(type), args); });
    va_end(args);
    return result;
}

}  // extern "C"
