// Reads the server's audio message bodies (FLV 10.1 E.4.2, clear text) for the intercom.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client.h"

struct InboundAudio {
    enum Kind { kIgnored, kHeader, kData } kind = kIgnored;
    // kHeader: the peer's configuration. For AAC channel is the channel configuration (1, 2), for
    // G.711 the FLV channel bit.
    zenq_rtmp_audio_format_e format = ZENQ_RTMP_AUDIO_FORMAT_G711A;
    zenq_rtmp_audio_extern_rate_e rate = ZENQ_RTMP_AUDIO_EXTERN_RATE_8000;
    zenq_rtmp_audio_bit_e bit = ZENQ_RTMP_AUDIO_BIT_16BIT;
    int channel = ZENQ_RTMP_AUDIO_CHANNEL_MONO;
    // kData: the payload after the two-byte tag header.
    const uint8_t* data = nullptr;
    size_t len = 0;
};

// G.711 A-law and AAC are understood; every other format, and bodies too short for their header, are
// ignored. An AAC configuration other than AAC LC with a valid frequency index is reported as ignored.
InboundAudio ParseInboundAudio(const uint8_t* body, size_t len);
