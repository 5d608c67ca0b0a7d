#include "media_pusher.h"

namespace facadetest {

PushResult PushAll(rtmp_client_s* client, const PushMedia& media) {
    PushResult result;
    std::vector<std::vector<uint8_t>> video;
    for (const AccessUnit& unit : media.video) video.push_back(unit.bytes);
    if (IOT_RTMP_SendMetadata(client) != 0) ++result.failures;
    size_t v = 0, a = 0;
    while (v < video.size() || a < media.audio.size()) {
        bool video_next = a >= media.audio.size() ||
                          (v < video.size() && media.VideoTimestamp(v) <= media.AudioTimestamp(a));
        int code = 0;
        if (video_next) {
            std::vector<uint8_t>& frame = video[v];
            code = IOT_RTMP_SendVideo(client, frame.data(), static_cast<uint32_t>(frame.size()),
                                      media.video[v].key_frame ? 1 : 0, media.VideoTimestamp(v));
            result.bytes += frame.size();
            ++v;
            ++result.video_sent;
        } else {
            const std::vector<uint8_t>& frame = media.audio[a];
            code = IOT_RTMP_SendAudio(client, frame.data(), static_cast<uint32_t>(frame.size()), media.AudioTimestamp(a));
            result.bytes += frame.size();
            ++a;
            ++result.audio_sent;
        }
        if (code != 0) ++result.failures;
    }
    return result;
}

}  // namespace facadetest
