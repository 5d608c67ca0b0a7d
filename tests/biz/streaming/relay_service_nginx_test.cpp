// A live push through the relay service to nginx: a short H.264 and AAC clip made by ffmpeg, fed frame by
// frame as the device program would; nginx's recording must decode and hold every video frame in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "media_pusher.h"
#include "media_reader.h"
#include "peers.h"
#include "relay_harness.h"

namespace relaytest {
namespace {

using facadetest::PushMedia;

int Occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// Presentation times of one kind of packet in file order, as ffprobe reads them.
std::vector<std::string> ProbeTimes(const std::string& path, const std::string& kind) {
    std::vector<std::string> times;
    std::istringstream lines(testsupport::CaptureCommand("timeout 60 ffprobe -v error -select_streams " + kind +
                                                         " -show_entries packet=pts -of csv=p=0 '" + path + "'"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) times.push_back(line.substr(0, line.find(',')));
    }
    return times;
}

class RelayToNginx : public RelayTest {};

TEST_F(RelayToNginx, ALivePushIsRecordedWithEveryFrameInOrderAndDecodes) {
    testsupport::TempDir dir;
    ASSERT_TRUE(facadetest::MakeH264(dir.File("clip.h264"), 2, 25));
    ASSERT_TRUE(facadetest::MakeAdtsAac(dir.File("clip.aac"), 2, 44100, 1));
    const PushMedia media{facadetest::ReadAccessUnits(facadetest::VideoCodec::kH264,
                                                      facadetest::ReadBytes(dir.File("clip.h264"))),
                          25, facadetest::ReadAdtsFrames(facadetest::ReadBytes(dir.File("clip.aac"))), 44100};
    ASSERT_TRUE(media.video.front().key_frame);
    testsupport::NginxPeer nginx;
    ASSERT_TRUE(nginx.Start());

    RelayService relay(&handler_);
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(nginx.rtmp_port()) + "/live/cam";
    ASSERT_EQ(relay.StartService(kServiceId, RELAY_SERVICE_LIVE, url, "", "", true), 0);
    const ov_video_param_s video{OV_VIDEO_FORMAT_H264, 25, 2000};
    const ov_audio_param_s audio{OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_44100, OV_AUDIO_SAMPLE_BITS_16BIT,
                                 OV_AUDIO_CHANNEL_MONO};
    ASSERT_EQ(relay.SendConfig(1000, 2, &video, &audio, 0), 0);
    for (const facadetest::PushStep& step : facadetest::PushSchedule(media)) {
        if (step.video) {
            const facadetest::AccessUnit& unit = media.video[step.index];
            ASSERT_EQ(relay.AddVideoFrame(OV_VIDEO_FORMAT_H264, unit.bytes.data(),
                                          static_cast<unsigned int>(unit.bytes.size()), unit.key_frame,
                                          media.VideoTimestamp(step.index)),
                      0);
        } else {
            const std::vector<uint8_t>& frame = media.audio[step.index];
            ASSERT_EQ(relay.AddAudioFrame(frame.data(), static_cast<unsigned int>(frame.size()),
                                          media.AudioTimestamp(step.index)),
                      0);
        }
    }
    // Goes out once the buffer has run empty, that is after every frame.
    relay.SendVodComplete();
    ASSERT_TRUE(Eventually([&] { return logs_.Has("[Live relay 7] Send vod complete success"); }, 3000))
        << logs_.Dump();
    relay.StopService();
    ASSERT_TRUE(Eventually([&] { return Occurrences(nginx.ErrorLog(), "disconnect") > 0; }, 3000));

    const std::string record = nginx.RecordPath("cam");
    std::vector<std::string> sent;
    for (size_t i = 0; i < media.video.size(); ++i) sent.push_back(std::to_string(media.VideoTimestamp(i)));
    EXPECT_EQ(ProbeTimes(record, "v"), sent);
    EXPECT_EQ(ProbeTimes(record, "a").size(), media.audio.size());
    EXPECT_EQ(testsupport::CaptureCommand("timeout 60 ffmpeg -nostdin -v error -i '" + record + "' -f null - 2>&1"), "");
    EXPECT_TRUE(handler_.Calls().empty());
}

}  // namespace
}  // namespace relaytest
