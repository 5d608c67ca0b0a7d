// The SDK's internal services as ov_init starts them and ov_destroy stops them.
#pragma once

#include <string>

#include "orvia_ipc.h"

// How the device plays recordings addressed by time.
enum VodMode {
    VOD_MODE_UTC_TO_NAME = 1,  // the device stores files: a playback unit turns the time range into files
    VOD_MODE_UTC = 2,          // the device plays back by time itself
};

// What the stream session takes from the configuration.
struct PlaybackSettings {
    unsigned vod_support;  // simultaneous playback sessions, 1..8
    VodMode vod_mode;
};

// storage_record_source_num clamped to 1..8.
unsigned ClampVodSupport(uint32_t storage_record_source_num);
// 0, or -1 after "Storage record mode is error, mode = %d" for a mode that is neither playback mode.
int PlaybackSettingsOf(const ov_config_s& config, PlaybackSettings* settings);
// The P2P module's device identifier: product key, "_", device name.
std::string DeviceIdentifier(const std::string& product_key, const std::string& device_name);

// Starts every service in ov_init's order, stopping at the first failure; each failure has logged its
// line at error level. The caller stops whatever was started with StopServices.
int StartServices(const ov_config_s* config);
// Stops every service in ov_destroy's order; harmless for a service that never started.
void StopServices();

// For a call that needs a service this build does not carry yet: "%s is not available yet" and -1.
int ServiceNotAvailable(const char* service);

// One text of an adapter record: empty unless text is non-null and len above 0; otherwise exactly len
// characters, the NUL-terminated text cut to len or padded with NUL characters up to it.
std::string AdapterText(const char* text, int len);
