// Test-side reader of FLV files (FLV 10.1 E.2, E.3): the tags nginx recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace facadetest {

struct FlvTag {
    int type;  // 8 audio, 9 video, 18 script
    uint32_t timestamp;
    std::vector<uint8_t> body;
};

// Stops at the first truncated tag.
std::vector<FlvTag> ReadFlvTags(const std::string& path);

}  // namespace facadetest
