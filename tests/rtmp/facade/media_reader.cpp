#include "media_reader.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "process.h"

namespace facadetest {

std::vector<NalUnit> SplitNalUnits(const std::vector<uint8_t>& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i + 3 <= s.size(); ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            starts.push_back(i + 3);
            i += 2;
        }
    }
    std::vector<NalUnit> units;
    for (size_t k = 0; k < starts.size(); ++k) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : s.size();
        while (end > starts[k] && s[end - 1] == 0) --end;
        units.push_back({starts[k], end - starts[k]});
    }
    return units;
}

int NalType(VideoCodec codec, uint8_t first_byte) {
    return codec == VideoCodec::kH264 ? (first_byte & 0x1F) : ((first_byte >> 1) & 0x3F);
}

namespace {

bool IsVcl(VideoCodec codec, int type) { return codec == VideoCodec::kH264 ? (type >= 1 && type <= 5) : type < 32; }

bool IsKey(VideoCodec codec, int type) { return codec == VideoCodec::kH264 ? type == 5 : (type >= 16 && type <= 23); }

// first_mb_in_slice == 0 (H.264) or first_slice_segment_in_pic_flag (H.265): the top bit after the header.
bool StartsPicture(VideoCodec codec, const uint8_t* unit) {
    return (unit[codec == VideoCodec::kH264 ? 1 : 2] & 0x80) != 0;
}

void Append(std::vector<uint8_t>* out, const std::vector<uint8_t>& s, const NalUnit& unit) {
    static const uint8_t kStartCode[] = {0, 0, 0, 1};
    out->insert(out->end(), kStartCode, kStartCode + 4);
    out->insert(out->end(), s.begin() + unit.offset, s.begin() + unit.offset + unit.len);
}

}  // namespace

std::vector<AccessUnit> ReadAccessUnits(VideoCodec codec, const std::vector<uint8_t>& s) {
    std::vector<AccessUnit> units;
    std::vector<uint8_t> pending;  // non-VCL units waiting for their picture
    bool current_has_picture = false;
    for (const NalUnit& nal : SplitNalUnits(s)) {
        if (nal.len < 3) continue;
        int type = NalType(codec, s[nal.offset]);
        if (!IsVcl(codec, type)) {
            Append(&pending, s, nal);
            continue;
        }
        if (StartsPicture(codec, &s[nal.offset]) || !current_has_picture) {
            units.emplace_back();
            current_has_picture = true;
        }
        AccessUnit& au = units.back();
        au.bytes.insert(au.bytes.end(), pending.begin(), pending.end());
        pending.clear();
        Append(&au.bytes, s, nal);
        au.key_frame = au.key_frame || IsKey(codec, type);
    }
    return units;
}

std::vector<uint8_t> FirstNalUnit(VideoCodec codec, const std::vector<uint8_t>& s, int type) {
    for (const NalUnit& nal : SplitNalUnits(s)) {
        if (nal.len > 0 && NalType(codec, s[nal.offset]) == type) {
            return std::vector<uint8_t>(s.begin() + nal.offset, s.begin() + nal.offset + nal.len);
        }
    }
    return {};
}

std::vector<std::vector<uint8_t>> ReadAdtsFrames(const std::vector<uint8_t>& s) {
    std::vector<std::vector<uint8_t>> frames;
    size_t pos = 0;
    while (pos + 7 <= s.size() && s[pos] == 0xFF && (s[pos + 1] & 0xF0) == 0xF0) {
        // ISO/IEC 13818-7 6.2.2: aac_frame_length, 13 bits, header included.
        size_t len =
            (static_cast<size_t>(s[pos + 3] & 0x03) << 11) | (static_cast<size_t>(s[pos + 4]) << 3) | (s[pos + 5] >> 5);
        if (len < 7 || pos + len > s.size()) break;
        frames.emplace_back(s.begin() + pos, s.begin() + pos + len);
        pos += len;
    }
    return frames;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

namespace {
bool RunFfmpeg(const std::string& args) {
    return testsupport::RunCommand("ffmpeg -nostdin -v error -y " + args + " >/dev/null 2>&1") == 0;
}
}  // namespace

bool MakeH264(const std::string& path, int seconds, int fps, const std::string& size) {
    return RunFfmpeg("-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(fps) + " -t " +
                     std::to_string(seconds) + " -pix_fmt yuv420p -c:v libx264 -g " + std::to_string(fps) +
                     " -bf 0 -f h264 '" + path + "'");
}

bool MakeH265(const std::string& path, int seconds, int fps, const std::string& pix_fmt, const std::string& size) {
    return RunFfmpeg("-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(fps) + " -t " +
                     std::to_string(seconds) + " -pix_fmt " + pix_fmt +
                     " -c:v libx265 -x265-params log-level=error:bframes=0:keyint=" + std::to_string(fps) +
                     " -f hevc '" + path + "'");
}

bool MakeAdtsAac(const std::string& path, int seconds, int sample_rate, int channels) {
    return RunFfmpeg("-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(sample_rate) + " -t " +
                     std::to_string(seconds) + " -ac " + std::to_string(channels) + " -c:a aac -b:a 64k -f adts '" +
                     path + "'");
}

}  // namespace facadetest
