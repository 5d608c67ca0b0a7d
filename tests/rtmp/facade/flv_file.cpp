#include "flv_file.h"

#include "media_reader.h"

namespace facadetest {

std::vector<FlvTag> ReadFlvTags(const std::string& path) {
    std::vector<uint8_t> f = ReadBytes(path);
    std::vector<FlvTag> tags;
    if (f.size() < 13 || f[0] != 'F' || f[1] != 'L' || f[2] != 'V') return tags;
    size_t pos = (size_t{f[5]} << 24 | size_t{f[6]} << 16 | size_t{f[7]} << 8 | f[8]) + 4;
    while (pos + 11 <= f.size()) {
        size_t size = size_t{f[pos + 1]} << 16 | size_t{f[pos + 2]} << 8 | f[pos + 3];
        uint32_t ts = uint32_t{f[pos + 7]} << 24 | uint32_t{f[pos + 4]} << 16 | uint32_t{f[pos + 5]} << 8 | f[pos + 6];
        if (pos + 11 + size > f.size()) break;
        tags.push_back({f[pos] & 0x1F, ts, std::vector<uint8_t>(f.begin() + pos + 11, f.begin() + pos + 11 + size)});
        pos += 11 + size + 4;
    }
    return tags;
}

}  // namespace facadetest
