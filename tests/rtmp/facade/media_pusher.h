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

struct PushStep {
    bool video;
    size_t index;
};

// Every frame, earliest timestamp first (video before audio on a tie).
std::vector<PushStep> PushSchedule(const PushMedia& media);

// Holds writable copies of the video frames, since the client may write in front of a slice.
class MediaPusher {
public:
    explicit MediaPusher(const PushMedia& media);
    // The client's result for one frame; counts the frame bytes handed over.
    int Send(rtmp_client_s* client, const PushStep& step);
    uint64_t bytes() const { return bytes_; }

private:
    const PushMedia& media_;
    std::vector<std::vector<uint8_t>> video_;
    uint64_t bytes_ = 0;
};

struct PushResult {
    int failures = 0;  // calls that returned non-zero
    uint64_t bytes = 0;
};

// Sends the metadata, then every frame of the schedule.
PushResult PushAll(rtmp_client_s* client, const PushMedia& media);

}  // namespace facadetest
