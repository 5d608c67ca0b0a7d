// Disconnect from a third thread while one thread is blocked sending to a server that stopped
// reading and another is blocked reading: both must come back and the context must stay usable.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "rtmp/rtmp_sdk/rtmp_client.h"
#include "rtmp_server_peer.h"

namespace {

TEST(RtmpClientDisconnect, ReleasesABlockedSenderAndReader) {
    testsupport::RtmpServerPeer peer(R"([{"publish_ok": true}, {"hold": true}])");
    ASSERT_TRUE(peer.Start());
    rtmp_client_s* client = nullptr;
    ASSERT_EQ(IOT_RTMP_Init(&client), 0);
    zenq_rtmp_config_s config{};
    config.timestamp_type = 1;
    config.video_format = ZENQ_RTMP_VIDEO_FORMAT_AVC;
    config.audio_format = ZENQ_RTMP_AUDIO_FORMAT_G711A;
    ASSERT_EQ(IOT_RTMP_SetConfig(client, &config), 0);
    std::string url = peer.Url("live/cam1");
    ASSERT_EQ(IOT_RTMP_Connect(client, url.data()), 0);

    std::atomic<int> frames_sent{0};
    std::atomic<int> last_send{0};
    std::thread sender([&] {
        std::vector<uint8_t> samples(4096, 0xD5);
        // The server reads nothing, so the socket buffers fill and a send blocks.
        for (uint32_t ts = 0;; ts += 20) {
            int result = IOT_RTMP_SendAudio(client, samples.data(), static_cast<uint32_t>(samples.size()), ts);
            if (result != 0) {
                last_send = result;
                return;
            }
            ++frames_sent;
        }
    });
    std::atomic<int> last_read{0};
    std::thread reader([&] {
        char code[ZENQ_RTMP_STATUS_TEXT_MAX + 1], description[ZENQ_RTMP_STATUS_TEXT_MAX + 1];
        int code_len = 0, description_len = 0;
        int result = 0;
        do {
            result = IOT_RTMP_ReadOnStatus(client, code, &code_len, description, &description_len);
        } while (result != ZENQ_RTMP_IS_DISCONNECTED);
        last_read = result;
    });
    // Wait until the sender stops making progress: the socket buffers are full and it is blocked.
    for (int still = 0, seen = -1; still < 20;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int now = frames_sent;
        still = now == seen && now > 0 ? still + 1 : 0;
        seen = now;
    }
    EXPECT_EQ(IOT_RTMP_Disconnect(client), 0);
    sender.join();
    reader.join();
    EXPECT_TRUE(last_send == ZENQ_RTMP_SEND_FAILED || last_send == ZENQ_RTMP_IS_DISCONNECTED) << last_send;
    EXPECT_EQ(last_read, ZENQ_RTMP_IS_DISCONNECTED);
    EXPECT_EQ(IOT_RTMP_IsConnect(client), ZENQ_RTMP_IS_DISCONNECTED);
    EXPECT_EQ(IOT_RTMP_Disconnect(client), 0);
    EXPECT_EQ(IOT_RTMP_Deinit(client), 0);
    peer.Stop();
}

}  // namespace
