#include "meta_reader.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "media_file_format.h"

namespace {

enum class ValueVerdict { kTaken, kIgnored, kInvalid };

template <typename Enum>
struct NamedValue {
    const char* text;
    Enum value;
};

constexpr NamedValue<ov_video_format_e> kVideoFormats[] = {
    {"h264", OV_VIDEO_FORMAT_H264},
    {"h265", OV_VIDEO_FORMAT_H265},
};
constexpr NamedValue<ov_audio_format_e> kAudioFormats[] = {
    {"aac", OV_AUDIO_FORMAT_AAC},
    {"g711a", OV_AUDIO_FORMAT_G711A},
    {"pcm", OV_AUDIO_FORMAT_PCM},
};
// 7350 has an index but is not a rate this camera offers.
constexpr NamedValue<ov_audio_sample_rate_e> kSampleRates[] = {
    {"8000", OV_AUDIO_SAMPLE_RATE_8000},   {"11025", OV_AUDIO_SAMPLE_RATE_11025},
    {"12000", OV_AUDIO_SAMPLE_RATE_12000}, {"16000", OV_AUDIO_SAMPLE_RATE_16000},
    {"22050", OV_AUDIO_SAMPLE_RATE_22050}, {"24000", OV_AUDIO_SAMPLE_RATE_24000},
    {"32000", OV_AUDIO_SAMPLE_RATE_32000}, {"44100", OV_AUDIO_SAMPLE_RATE_44100},
    {"48000", OV_AUDIO_SAMPLE_RATE_48000}, {"64000", OV_AUDIO_SAMPLE_RATE_64000},
    {"88200", OV_AUDIO_SAMPLE_RATE_88200}, {"96000", OV_AUDIO_SAMPLE_RATE_96000},
};
constexpr NamedValue<ov_audio_sample_bits_e> kSampleBits[] = {
    {"8", OV_AUDIO_SAMPLE_BITS_8BIT},
    {"16", OV_AUDIO_SAMPLE_BITS_16BIT},
};
constexpr NamedValue<ov_audio_channel_e> kChannels[] = {
    {"1", OV_AUDIO_CHANNEL_MONO},
    {"2", OV_AUDIO_CHANNEL_STEREO},
};

template <typename Enum, size_t N>
bool LookUp(const NamedValue<Enum> (&table)[N], const std::string& text, Enum& out) {
    for (const auto& entry : table) {
        if (text == entry.text) {
            out = entry.value;
            return true;
        }
    }
    return false;
}

bool ParseUnsigned(const std::string& text, uint32_t& out) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value > std::numeric_limits<uint32_t>::max()) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

// Unknown texts are ignored for formats but make the file invalid for the audio sample layout.
template <typename Enum, size_t N>
ValueVerdict Pick(const NamedValue<Enum> (&table)[N], const std::string& text, Enum& out, ValueVerdict on_unknown) {
    return LookUp(table, text, out) ? ValueVerdict::kTaken : on_unknown;
}

ValueVerdict PickUnsigned(const std::string& text, uint32_t& out) {
    return ParseUnsigned(text, out) ? ValueVerdict::kTaken : ValueVerdict::kIgnored;
}

struct MetaKey {
    const char* key;
    ValueVerdict (*parse)(const std::string& value, MetaParseResult& meta);
};

const MetaKey kMetaKeys[] = {
    {"video.format",
     [](const std::string& v, MetaParseResult& m) { return Pick(kVideoFormats, v, m.video.format, ValueVerdict::kIgnored); }},
    {"video.fps", [](const std::string& v, MetaParseResult& m) { return PickUnsigned(v, m.video.fps); }},
    {"audio.format",
     [](const std::string& v, MetaParseResult& m) { return Pick(kAudioFormats, v, m.audio.format, ValueVerdict::kIgnored); }},
    {"audio.sample_rate",
     [](const std::string& v, MetaParseResult& m) {
         return Pick(kSampleRates, v, m.audio.sample_rate, ValueVerdict::kInvalid);
     }},
    {"audio.bits_per_sample",
     [](const std::string& v, MetaParseResult& m) {
         return Pick(kSampleBits, v, m.audio.sample_bits, ValueVerdict::kInvalid);
     }},
    {"audio.channel",
     [](const std::string& v, MetaParseResult& m) { return Pick(kChannels, v, m.audio.channel, ValueVerdict::kInvalid); }},
    {"duration",
     [](const std::string& v, MetaParseResult& m) {
         uint32_t seconds = 0;
         ValueVerdict verdict = PickUnsigned(v, seconds);
         if (verdict == ValueVerdict::kTaken) m.duration = seconds;
         return verdict;
     }},
};

std::string InvalidParamMessage(const std::string& value) { return "Invalid param:  " + value + "\n"; }

void ParseMetaLine(const std::string& line, MetaParseResult& meta) {
    size_t equals = line.find('=');
    if (equals == std::string::npos || equals + 1 == line.size()) return;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    for (const auto& entry : kMetaKeys) {
        if (key != entry.key) continue;
        ValueVerdict verdict = entry.parse(value, meta);
        if (verdict != ValueVerdict::kTaken) meta.messages.push_back(InvalidParamMessage(value));
        if (verdict == ValueVerdict::kInvalid) meta.valid = false;
        return;
    }
}

}  // namespace

MetaParseResult ParseMeta(const std::string& text, const std::string& file_name) {
    MetaParseResult meta;
    size_t start = 0;
    while (start < text.size() && meta.valid) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() >= kIndexLineMaxLne) {
            // A longer line would have been read in pieces and misparsed.
            meta.messages.push_back("Read file failed: " + file_name + "\n");
            meta.valid = false;
            break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ParseMetaLine(line, meta);
    }
    return meta;
}
