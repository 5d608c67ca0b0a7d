// FLV 10.1 E.4.2 AUDIODATA bodies. Pure writers over a caller's buffer; each returns the body length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client.h"

// SoundFormat, SoundRate, SoundSize and SoundType in one byte.
uint8_t FlvSoundHeaderByte(const zenq_rtmp_config_s& config);

// The configuration message a format sends once per connection before its first frame, 0 for none.
size_t WriteAudioSequenceHeader(uint8_t* body, const zenq_rtmp_config_s& config);

// One frame; AAC loses its ADTS header. 0 when the format is not packaged.
size_t WriteAudioFrame(uint8_t* body, const zenq_rtmp_config_s& config, const uint8_t* data, size_t len);

// Whether the format is packaged at all, and whether it has a configuration message.
bool FlvAudioFormatSupported(zenq_rtmp_audio_format_e format);
bool FlvAudioFormatHasSequenceHeader(zenq_rtmp_audio_format_e format);
