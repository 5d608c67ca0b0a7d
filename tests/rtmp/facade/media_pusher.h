// Feeds test media through the client in timestamp order, as a camera's send loop would.
#pragma once

#include <cstdint>
#include <vector>

#include "media_reader.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"

namespace facadetest {

struct PushMedia {
    std::vector<AccessUnit> video;
    int fps = 25;
    std::vector<std::vector<uint8_t>> audio;  // ADTS frames
    int sample_rate = 44100;

    uint32_t VideoTimestamp(size_t i) const { return static_cast<uint32_t>(i * 1000 / fps); }
    uint32_t AudioTimestamp(size_t i) const { return static_cast<uint32_t>(i * 1024 * 1000 / sample_rate); }
};

struct PushResult {
    int failures = 0;  // calls that returned non-zero
    size_t video_sent = 0;
    size_t audio_sent = 0;
    uint64_t bytes = 0;  // frame bytes handed to the client
};

// Sends the metadata, then every frame, earliest timestamp first (video before audio on a tie).
// Frames are copied once up front into writable buffers, since the client may write in front of
// a slice.
PushResult PushAll(rtmp_client_s* client, const PushMedia& media);

}  // namespace facadetest
