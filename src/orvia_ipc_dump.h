// The parameter dumps the ov_ functions write at verbose level before any check.
#pragma once

#include <cstddef>
#include <string>

#include "orvia_ipc.h"

// Lines joined by "\n": the title, the start line, one "name value" line per argument, the stop line.
class ParamDump {
public:
    explicit ParamDump(const std::string& title);
    ParamDump& Int(const char* name, int value);
    ParamDump& Double(const char* name, double value);
    // "point is not null" or "point is null".
    ParamDump& Pointer(const char* name, const void* value);
    // The text, or "point is null"; at most max_len characters of it.
    ParamDump& Text(const char* name, const char* value, size_t max_len = std::string::npos);
    // The text as "%s" prints it.
    ParamDump& Raw(const char* name, const char* value);
    std::string Finish();

private:
    std::string text_;
};

std::string InitDump(const ov_config_s* config);
std::string DestroyDump();
std::string StreamSendConfigDump(int service_id, uint32_t bitrate_kbps, double duration,
                                 const ov_video_param_s* video_param, const ov_audio_param_s* audio_param);
std::string StreamSendVideoDump(int service_id, int format, const unsigned char* buf, uint32_t len,
                                int key_frame, uint32_t timestamp_ms);
std::string StreamSendAudioDump(int service_id, int format, const unsigned char* buf, uint32_t len,
                                uint32_t timestamp_ms);
std::string PostAlarmImageDump(const char* buffer, int buffer_len, int type, const char* id);
std::string VoiceIntercomStartServiceDump(int service_id, const ov_audio_param_s* audio_param);
std::string VoiceIntercomSendAudioDump(int service_id, const char* buffer, int buffer_len, uint32_t timestamp_ms);
std::string VoiceIntercomStopServiceDump(int service_id);
std::string TesseraAdapterDump(int type, const ov_tessera_adapter_property_s* in);
std::string PostFileCloseDump(int service_id, const char* filename);
std::string PostPreCompleteDump(int service_id);
