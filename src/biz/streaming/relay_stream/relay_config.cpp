#include "biz/streaming/relay_stream/relay_config.h"

#include <cstring>

#include "utils/ov_base64.h"
#include "utils/raw_enum.h"

namespace {

constexpr unsigned int kBytesPerKbps = 256;

struct BitrateGear {
    unsigned int below_kbps;  // the gear serves bitrates below this
    unsigned int gear_kbps;
};

// The top gear is 8196, not 8192: kept so the top ring is the 4 MiB one the devices were sized for.
constexpr BitrateGear kGears[] = {
    {1024, 1024}, {2048, 2048}, {3072, 3072}, {4096, 4096}, {6144, 6144},
};
constexpr unsigned int kTopGearKbps = 8196;

struct VideoFormatEntry {
    int device;
    zenq_rtmp_video_format_e rtmp;
};
constexpr VideoFormatEntry kVideoFormats[] = {
    {OV_VIDEO_FORMAT_H264, ZENQ_RTMP_VIDEO_FORMAT_AVC},
    {OV_VIDEO_FORMAT_H265, ZENQ_RTMP_VIDEO_FORMAT_HEVC},
};

struct AudioFormatEntry {
    int device;
    zenq_rtmp_audio_format_e rtmp;
};
constexpr AudioFormatEntry kAudioFormats[] = {
    {OV_AUDIO_FORMAT_PCM, ZENQ_RTMP_AUDIO_FORMAT_ADPCM},
    {OV_AUDIO_FORMAT_G711A, ZENQ_RTMP_AUDIO_FORMAT_G711A},
    {OV_AUDIO_FORMAT_AAC, ZENQ_RTMP_AUDIO_FORMAT_AAC},
};

// The device's value is read as the int a C caller may have stored, valid or not.
template <typename Table, typename Key, typename Value>
bool Lookup(const Table& table, const Key& key, Value* value) {
    for (const auto& entry : table) {
        if (entry.device == RawEnum(key)) {
            *value = entry.rtmp;
            return true;
        }
    }
    return false;
}

}  // namespace

unsigned int RelayRingBufferSize(unsigned int bitrate_kbps) {
    for (const BitrateGear& gear : kGears) {
        if (bitrate_kbps < gear.below_kbps) return gear.gear_kbps * kBytesPerKbps;
    }
    return kTopGearKbps * kBytesPerKbps;
}

bool BuildRelayRtmpConfig(double duration, const ov_video_param_s& video, const ov_audio_param_s& audio,
                          zenq_rtmp_config_s* config) {
    *config = zenq_rtmp_config_s{};
    if (!Lookup(kVideoFormats, video.format, &config->video_format)) return false;
    if (!Lookup(kAudioFormats, audio.format, &config->audio_format)) return false;
    config->timestamp_type = 1;  // the device's timestamps go out unchanged
    config->audio_rate = ZENQ_RTMP_AUDIO_RATE_5_5K;
    // Both enumerations list the same rates, sizes and channels in the same order.
    config->audio_extern_rate = static_cast<zenq_rtmp_audio_extern_rate_e>(RawEnum(audio.sample_rate));
    config->audio_bit = static_cast<zenq_rtmp_audio_bit_e>(RawEnum(audio.sample_bits));
    config->audio_channel = static_cast<zenq_rtmp_audio_channel_e>(RawEnum(audio.channel));
    config->duration_s = duration;
    return true;
}

bool DecodeRelayCipherText(const std::string& text, uint8_t out[16]) {
    uint8_t decoded[16] = {};
    uint32_t decoded_len = 0;
    if (ov_base64decode(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()),
                        sizeof decoded, decoded, &decoded_len) != 0 ||
        decoded_len != sizeof decoded) {
        return false;
    }
    std::memcpy(out, decoded, sizeof decoded);
    return true;
}

bool RelayCipherUsable(const std::string& iv, const std::string& key) {
    if (iv.empty() || key.empty()) return true;
    uint8_t scratch[16];
    return DecodeRelayCipherText(iv, scratch) && DecodeRelayCipherText(key, scratch);
}
