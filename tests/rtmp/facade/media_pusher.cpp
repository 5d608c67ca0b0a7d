#include "media_pusher.h"

namespace facadetest {

std::vector<PushStep> PushSchedule(const PushMedia& media) {
    std::vector<PushStep> steps;
    size_t v = 0, a = 0;
    while (v < media.video.size() || a < media.audio.size()) {
        bool video_next =
            a >= media.audio.size() || (v < media.video.size() && media.VideoTimestamp(v) <= media.AudioTimestamp(a));
        steps.push_back({video_next, video_next ? v++ : a++});
    }
    return steps;
}

MediaPusher::MediaPusher(const PushMedia& media) : media_(media) {
    for (const AccessUnit& unit : media.video) video_.push_back(unit.bytes);
}

int MediaPusher::Send(rtmp_client_s* client, const PushStep& step) {
    if (step.video) {
        std::vector<uint8_t>& frame = video_[step.index];
        bytes_ += frame.size();
        return IOT_RTMP_SendVideo(client, frame.data(), static_cast<uint32_t>(frame.size()),
                                  media_.video[step.index].key_frame ? 1 : 0, media_.VideoTimestamp(step.index));
    }
    const std::vector<uint8_t>& frame = media_.audio[step.index];
    bytes_ += frame.size();
    return IOT_RTMP_SendAudio(client, frame.data(), static_cast<uint32_t>(frame.size()),
                              media_.AudioTimestamp(step.index));
}

PushResult PushAll(rtmp_client_s* client, const PushMedia& media) {
    PushResult result;
    if (IOT_RTMP_SendMetadata(client) != 0) ++result.failures;
    MediaPusher pusher(media);
    for (const PushStep& step : PushSchedule(media)) {
        if (pusher.Send(client, step) != 0) ++result.failures;
    }
    result.bytes = pusher.bytes();
    return result;
}

}  // namespace facadetest
