// Pure translations from the device's stream description to what the ring buffer and the RTMP client need.
#pragma once

#include <cstdint>
#include <string>

#include "orvia_ipc.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"

// Bytes to request for the relay's ring buffer: about two seconds at the bitrate's gear.
unsigned int RelayRingBufferSize(unsigned int bitrate_kbps);

// Fills the client configuration (zeroed first, without encryption); false for a video or audio format
// the client cannot carry.
bool BuildRelayRtmpConfig(double duration, const ov_video_param_s& video, const ov_audio_param_s& audio,
                          zenq_rtmp_config_s* config);

// Decodes a Base64 AES-128 key or IV; false unless it decodes to exactly 16 bytes.
bool DecodeRelayCipherText(const std::string& text, uint8_t out[16]);

// The key and IV given with a stream command: both empty (no encryption), or both decoding to 16 bytes.
// One of the two alone means a clear stream, as the cloud sends encryption only with both.
bool RelayCipherUsable(const std::string& iv, const std::string& key);
