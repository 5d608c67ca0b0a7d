// What a relay service accepts from the device program and from its owner, with no server to talk to:
// starts that are refused, frames before and after the configuration, the full-buffer policies and the
// buffer-level pause of recorded playback.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/thread_pool.h"
#include "relay_harness.h"
#include "relay_test_media.h"

namespace relaytest {
namespace {

class RelayIntake : public RelayTest {
protected:
    // Starts towards a port where nothing listens and waits until the failed connect has ended the session,
    // so the ring buffer fills and is never drained.
    void StartUnconnected(RelayServiceType type, bool package_drop) {
        ASSERT_EQ(relay_.StartService(kServiceId, type, DeadUrl(), "", "", package_drop), 0);
        ASSERT_TRUE(handler_.WaitFor("status 7")) << logs_.Dump();
    }
    // Adds frames of the given size until the relay answers something other than 0.
    int FillUntilRefused(int max_frames, size_t size) {
        for (int i = 0; i < max_frames; ++i) {
            const int result = Feed(relay_, (i % 25 == 0 ? "K" : "P") + std::to_string(i * 40), size)[0];
            if (result != 0) return result;
        }
        return 0;
    }

    RelayService relay_{&handler_};
};

TEST_F(RelayIntake, AFailedConnectEndsTheSessionWithoutADeviceCloseReport) {
    const std::string url = DeadUrl();
    ASSERT_EQ(relay_.StartService(kServiceId, RELAY_SERVICE_LIVE, url, "", "", true), 0);
    ASSERT_TRUE(handler_.WaitFor("status 7"));
    EXPECT_TRUE(logs_.Has("[Live relay 7] IOT_RTMP_Connect failed,result = [-3]"));
    EXPECT_TRUE(logs_.Has("[Live relay 7] connect failed, result = -3"));
    EXPECT_EQ(LogCount("[Live relay 7] monitor message: " + url), 1);
    relay_.StopService();
    EXPECT_EQ(LogCount("[Live relay 7] monitor message: "), 1);
    EXPECT_EQ(ReportedErrorCodes(), std::vector<int>{1005});
    EXPECT_EQ(handler_.Calls(), std::vector<std::string>{"status 7"});
}

TEST_F(RelayIntake, FramesNeedTheConfigurationWhichIsAppliedOnce) {
    StartUnconnected(RELAY_SERVICE_LIVE, true);
    EXPECT_EQ(Feed(relay_, "K0 A10"), (std::vector<int>{-1, -1}));
    EXPECT_TRUE(logs_.Has("[Live relay 7] Send config before add video"));
    EXPECT_TRUE(logs_.Has("[Live relay 7] Send config before add audio"));

    ov_video_param_s bad_video{OV_VIDEO_FORMAT_H264, 25, 2000};
    const int unknown_format = 5;
    std::memcpy(&bad_video.format, &unknown_format, sizeof unknown_format);
    const ov_audio_param_s audio{OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_16000, OV_AUDIO_SAMPLE_BITS_16BIT,
                                 OV_AUDIO_CHANNEL_MONO};
    EXPECT_EQ(relay_.SendConfig(500, 10, &bad_video, &audio, 0), -1);
    EXPECT_TRUE(logs_.Has("[Live relay 7] illegal input"));
    EXPECT_EQ(Feed(relay_, "K0"), std::vector<int>{-1});  // a refused configuration leaves frames refused

    ASSERT_EQ(ConfigureH264Aac(relay_), 0);
    EXPECT_EQ(relay_.SendConfig(8000, 10, &bad_video, &audio, 0), 0);
    EXPECT_TRUE(logs_.Has("[Live relay 7] config has been send, do nothing"));
    EXPECT_EQ(Feed(relay_, "K0 P40 A50"), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(relay_.AddVideoFrame(OV_VIDEO_FORMAT_H264, nullptr, 10, 1, 80), -1);
    EXPECT_EQ(relay_.AddAudioFrame(nullptr, 10, 80), -1);
    EXPECT_TRUE(logs_.Has("[Live relay 7] Invalid buffer parameter"));
    EXPECT_TRUE(logs_.Has("[Live relay 7] Invalid buffer parameter "));
}

TEST_F(RelayIntake, AFullBufferRefusesOnlyWhenDroppingIsNotAllowed) {
    struct Case {
        RelayServiceType type;
        bool package_drop;
        int result_when_full;
    };
    const Case cases[] = {
        {RELAY_SERVICE_LIVE, true, 0},               // old groups of pictures make room
        {RELAY_SERVICE_PRE_EVENT_RECORD, false, 1},  // the device must retry
    };
    for (const Case& c : cases) {
        RecordingRelayHandler handler;
        RelayService relay(&handler);
        ASSERT_EQ(relay.StartService(kServiceId, c.type, DeadUrl(), "", "", c.package_drop), 0);
        ASSERT_TRUE(handler.WaitFor("status 7"));
        ASSERT_EQ(ConfigureH264Aac(relay, 100), 0);  // a 256 KiB ring
        int result = 0;
        for (int i = 0; i < 200 && result == 0; ++i) {
            result = Feed(relay, (i % 25 == 0 ? "K" : "P") + std::to_string(i * 40), 4096)[0];
        }
        EXPECT_EQ(result, c.result_when_full) << "type " << c.type;
    }
}

TEST_F(RelayIntake, RecordedPlaybackPausesTheDeviceOnceWhenTheBufferFills) {
    StartUnconnected(RELAY_SERVICE_VOD, false);
    ASSERT_EQ(ConfigureH264Aac(relay_, 100), 0);
    EXPECT_EQ(FillUntilRefused(200, 4096), 1);
    EXPECT_EQ(handler_.Calls(), (std::vector<std::string>{"status 7", "pause 7 1 0"}));
}

TEST_F(RelayIntake, LiveStreamsNeverPauseTheDevice) {
    StartUnconnected(RELAY_SERVICE_LIVE, false);
    ASSERT_EQ(ConfigureH264Aac(relay_, 100), 0);
    EXPECT_EQ(FillUntilRefused(200, 4096), 1);
    EXPECT_EQ(handler_.Calls(), std::vector<std::string>{"status 7"});
}

TEST_F(RelayIntake, AStreamKeyThatIsNotSixteenBytesIsRefused) {
    EXPECT_EQ(relay_.StartService(kServiceId, RELAY_SERVICE_LIVE, DeadUrl(), "ABEiM0RVZneImaq7zN3u/w==",
                                  "ABEiM0RVZneImaq7zN3u", true),
              -1);
    EXPECT_TRUE(logs_.Has("[Live relay 7] encrypt key or iv is not 16 bytes, refuse"));
    EXPECT_EQ(LogCount("monitor message"), 0);
    EXPECT_TRUE(ReportedErrorCodes().empty());
    EXPECT_TRUE(handler_.Calls().empty());
}

TEST_F(RelayIntake, ANegativeServiceIdIsRefused) {
    EXPECT_EQ(relay_.StartService(-2, RELAY_SERVICE_LIVE, DeadUrl(), "", "", true), -1);
    EXPECT_TRUE(logs_.Has("Service id -2 is illegal"));
}

TEST_F(RelayIntake, AStartIsRefusedWhenFewerThanTwoWorkersAreIdle) {
    ThreadPool::DestroyInstance();
    ASSERT_EQ(ThreadPool::GetInstance()->Start(1), 0);
    const std::string url = DeadUrl();
    {
        RelayService relay(&handler_);
        EXPECT_EQ(relay.StartService(3, RELAY_SERVICE_PRE_EVENT_RECORD, url, "", "", false), -1);
        EXPECT_TRUE(logs_.Has("[Pre relay 3] no idle thread available"));
        EXPECT_EQ(LogCount("[Pre relay 3] monitor message: " + url), 1);
    }
    // Destroying the refused service reports nothing more and no thread ran for it.
    EXPECT_EQ(LogCount("monitor message"), 1);
    EXPECT_EQ(ReportedErrorCodes(), std::vector<int>{1001});
    EXPECT_FALSE(logs_.HasSubstring("ReadThread start"));
    EXPECT_TRUE(handler_.Calls().empty());
    ThreadPool::DestroyInstance();
}

}  // namespace
}  // namespace relaytest
