// Test-side readers of elementary streams made by ffmpeg: Annex-B video split into access units and
// ADTS AAC split into frames. Independent of the client's own unit scanner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace facadetest {

enum class VideoCodec { kH264, kH265 };

struct AccessUnit {
    std::vector<uint8_t> bytes;  // Annex B, start codes included
    bool key_frame = false;      // holds an IDR (H.264) or IRAP (H.265) slice
};

struct NalUnit {
    size_t offset;  // first byte after the start code
    size_t len;     // without the next start code and any zero bytes in front of it
};

std::vector<NalUnit> SplitNalUnits(const std::vector<uint8_t>& stream);
int NalType(VideoCodec codec, uint8_t first_byte);
std::vector<AccessUnit> ReadAccessUnits(VideoCodec codec, const std::vector<uint8_t>& stream);
// Raw bytes of the first unit of the given type in the stream, without start code.
std::vector<uint8_t> FirstNalUnit(VideoCodec codec, const std::vector<uint8_t>& stream, int type);

// ADTS frames, each with its header.
std::vector<std::vector<uint8_t>> ReadAdtsFrames(const std::vector<uint8_t>& stream);

std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Runs ffmpeg to make test media; false when it failed.
bool MakeH264(const std::string& path, int seconds, int fps, const std::string& size = "160x120");
bool MakeH265(const std::string& path, int seconds, int fps, const std::string& pix_fmt = "yuv420p",
              const std::string& size = "160x120");
bool MakeAdtsAac(const std::string& path, int seconds, int sample_rate, int channels);

}  // namespace facadetest
