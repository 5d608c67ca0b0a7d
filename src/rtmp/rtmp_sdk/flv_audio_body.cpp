#include "rtmp/rtmp_sdk/flv_audio_body.h"

#include "rtmp/rtmp_sdk/big_endian_writer.h"

namespace {

constexpr uint8_t kAacTagHeader = 0xAF;  // AAC, 44 kHz, 16 bit, stereo: FLV 10.1 E.4.2.1 fixes these for AAC
constexpr uint8_t kSequenceHeader = 0;
constexpr uint8_t kRawData = 1;
constexpr uint8_t kAacObjectTypeLc = 2;

size_t WriteAacSequenceHeader(uint8_t* body, const zenq_rtmp_config_s& config) {
    // ISO/IEC 14496-3 1.6.2.1 AudioSpecificConfig: object type (5), frequency index (4), channels (4),
    // then the GASpecificConfig flags (3 zero bits).
    uint32_t channels = config.audio_channel == ZENQ_RTMP_AUDIO_CHANNEL_STEREO ? 2 : 1;
    uint32_t asc = kAacObjectTypeLc << 11 | (static_cast<uint32_t>(config.audio_extern_rate) & 0x0F) << 7 |
                   channels << 3;
    BigEndianWriter out(body);
    out.U8(kAacTagHeader);
    out.U8(kSequenceHeader);
    out.U16(asc);
    // ISO/IEC 14496-3 1.6.6.1: sync extension 0x2B7, SBR object type 5, sbrPresentFlag 0.
    out.U24(0x56E500);
    return out.size();
}

size_t WriteG711SequenceHeader(uint8_t* body, const zenq_rtmp_config_s& config) {
    BigEndianWriter out(body);
    out.U8(FlvSoundHeaderByte(config));
    out.U8(kSequenceHeader);
    out.U8((static_cast<uint32_t>(config.audio_extern_rate) << 4) & 0xFF);
    out.U8(0);
    return out.size();
}

// ISO/IEC 13818-7 6.2: a 7-byte ADTS header, 9 bytes with its CRC (protection_absent 0).
size_t AdtsHeaderLength(const uint8_t* data, size_t len) {
    if (len < 2 || data[0] != 0xFF || data[1] < 0xF0) return 0;
    size_t header = (data[1] & 0x01) ? 7 : 9;
    return len >= header ? header : 0;
}

size_t WriteAacFrame(uint8_t* body, const zenq_rtmp_config_s&, const uint8_t* data, size_t len) {
    size_t skip = AdtsHeaderLength(data, len);
    BigEndianWriter out(body);
    out.U8(kAacTagHeader);
    out.U8(kRawData);
    out.Bytes(data + skip, len - skip);
    return out.size();
}

size_t WriteG711Frame(uint8_t* body, const zenq_rtmp_config_s& config, const uint8_t* data, size_t len) {
    BigEndianWriter out(body);
    out.U8(FlvSoundHeaderByte(config));
    out.U8(kRawData);
    out.Bytes(data, len);
    return out.size();
}

size_t WriteAdpcmFrame(uint8_t* body, const zenq_rtmp_config_s& config, const uint8_t* data, size_t len) {
    BigEndianWriter out(body);
    out.U8(FlvSoundHeaderByte(config));
    out.Bytes(data, len);
    return out.size();
}

struct AudioPackaging {
    zenq_rtmp_audio_format_e format;
    size_t (*sequence_header)(uint8_t*, const zenq_rtmp_config_s&);
    size_t (*frame)(uint8_t*, const zenq_rtmp_config_s&, const uint8_t*, size_t);
};

constexpr AudioPackaging kAudioPackaging[] = {
    {ZENQ_RTMP_AUDIO_FORMAT_ADPCM, nullptr, WriteAdpcmFrame},
    {ZENQ_RTMP_AUDIO_FORMAT_G711A, WriteG711SequenceHeader, WriteG711Frame},
    {ZENQ_RTMP_AUDIO_FORMAT_G711U, WriteG711SequenceHeader, WriteG711Frame},
    {ZENQ_RTMP_AUDIO_FORMAT_AAC, WriteAacSequenceHeader, WriteAacFrame},
};

const AudioPackaging* FindPackaging(zenq_rtmp_audio_format_e format) {
    for (const AudioPackaging& packaging : kAudioPackaging) {
        if (packaging.format == format) return &packaging;
    }
    return nullptr;
}

}  // namespace

uint8_t FlvSoundHeaderByte(const zenq_rtmp_config_s& config) {
    return static_cast<uint8_t>((config.audio_format << 4) | ((config.audio_rate << 2) & 0x0C) |
                                ((config.audio_bit << 1) & 0x02) | (config.audio_channel & 0x01));
}

bool FlvAudioFormatSupported(zenq_rtmp_audio_format_e format) { return FindPackaging(format) != nullptr; }

bool FlvAudioFormatHasSequenceHeader(zenq_rtmp_audio_format_e format) {
    const AudioPackaging* packaging = FindPackaging(format);
    return packaging != nullptr && packaging->sequence_header != nullptr;
}

size_t WriteAudioSequenceHeader(uint8_t* body, const zenq_rtmp_config_s& config) {
    const AudioPackaging* packaging = FindPackaging(config.audio_format);
    return packaging != nullptr && packaging->sequence_header != nullptr ? packaging->sequence_header(body, config)
                                                                         : 0;
}

size_t WriteAudioFrame(uint8_t* body, const zenq_rtmp_config_s& config, const uint8_t* data, size_t len) {
    const AudioPackaging* packaging = FindPackaging(config.audio_format);
    return packaging != nullptr ? packaging->frame(body, config, data, len) : 0;
}
