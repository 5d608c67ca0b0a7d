#include "rtmp/rtmp_sdk/inbound_audio.h"

namespace {

constexpr size_t kTagHeaderBytes = 2;
constexpr uint8_t kSequenceHeader = 0;
constexpr int kMaxFrequencyIndex = 12;

InboundAudio Data(const uint8_t* body, size_t len) {
    InboundAudio audio;
    audio.kind = InboundAudio::kData;
    audio.data = body + kTagHeaderBytes;
    audio.len = len - kTagHeaderBytes;
    return audio;
}

InboundAudio ParseG711a(const uint8_t* body, size_t len) {
    if (body[1] != kSequenceHeader) return Data(body, len);
    InboundAudio audio;
    if (len < 3) return audio;
    audio.kind = InboundAudio::kHeader;
    audio.format = ZENQ_RTMP_AUDIO_FORMAT_G711A;
    audio.rate = static_cast<zenq_rtmp_audio_extern_rate_e>(body[2] >> 4);
    audio.bit = static_cast<zenq_rtmp_audio_bit_e>((body[0] >> 1) & 1);
    audio.channel = body[0] & 1;
    return audio;
}

// ISO/IEC 14496-3 1.6.2.1 AudioSpecificConfig: 5-bit object type, 4-bit frequency index, 4-bit channels.
InboundAudio ParseAac(const uint8_t* body, size_t len) {
    if (body[1] != kSequenceHeader) return body[1] == 1 ? Data(body, len) : InboundAudio{};
    InboundAudio audio;
    if (len < 4) return audio;
    int object_type = body[2] >> 3;
    int frequency_index = ((body[2] << 1) & 0x0F) | (body[3] >> 7);
    if (object_type != 2 || frequency_index > kMaxFrequencyIndex) return audio;
    audio.kind = InboundAudio::kHeader;
    audio.format = ZENQ_RTMP_AUDIO_FORMAT_AAC;
    audio.rate = static_cast<zenq_rtmp_audio_extern_rate_e>(frequency_index);
    audio.bit = ZENQ_RTMP_AUDIO_BIT_16BIT;
    audio.channel = (body[3] >> 3) & 0x0F;
    return audio;
}

}  // namespace

InboundAudio ParseInboundAudio(const uint8_t* body, size_t len) {
    if (body == nullptr || len < kTagHeaderBytes) return {};
    switch (body[0] >> 4) {
        case ZENQ_RTMP_AUDIO_FORMAT_G711A: return ParseG711a(body, len);
        case ZENQ_RTMP_AUDIO_FORMAT_AAC: return ParseAac(body, len);
        default: return {};
    }
}
