// The relay's pure translations: ring sizes by bitrate gear, device formats to the client's, and which
// stream keys are usable.
#include <gtest/gtest.h>

#include <cstring>

#include "biz/streaming/relay_stream/relay_config.h"
#include "biz/streaming/relay_stream/relay_service.h"

namespace {

TEST(RelayRingBufferSize, FollowsTheBitrateGear) {
    struct Case {
        unsigned int kbps;
        unsigned int bytes;
    };
    const Case cases[] = {
        {0, 262144},    {1023, 262144},  {1024, 524288},  {2000, 524288},  {2047, 524288},
        {2048, 786432}, {3071, 786432},  {3072, 1048576}, {4095, 1048576}, {4096, 1572864},
        {6143, 1572864}, {6144, 2098176}, {8192, 2098176}, {100000, 2098176},
    };
    for (const Case& c : cases) EXPECT_EQ(RelayRingBufferSize(c.kbps), c.bytes) << c.kbps << " kbps";
}

TEST(BuildRelayRtmpConfig, MapsFormatsAndCopiesTheAudioDescription) {
    struct Case {
        int video;  // as a C caller may store it, valid or not
        int audio;
        bool accepted;
        zenq_rtmp_video_format_e rtmp_video;
        zenq_rtmp_audio_format_e rtmp_audio;
    };
    const Case cases[] = {
        {OV_VIDEO_FORMAT_H264, OV_AUDIO_FORMAT_AAC, true, ZENQ_RTMP_VIDEO_FORMAT_AVC, ZENQ_RTMP_AUDIO_FORMAT_AAC},
        {OV_VIDEO_FORMAT_H265, OV_AUDIO_FORMAT_G711A, true, ZENQ_RTMP_VIDEO_FORMAT_HEVC,
         ZENQ_RTMP_AUDIO_FORMAT_G711A},
        {OV_VIDEO_FORMAT_H264, OV_AUDIO_FORMAT_PCM, true, ZENQ_RTMP_VIDEO_FORMAT_AVC, ZENQ_RTMP_AUDIO_FORMAT_ADPCM},
        {2, OV_AUDIO_FORMAT_AAC, false, {}, {}},
        {OV_VIDEO_FORMAT_H264, 3, false, {}, {}},
    };
    for (const Case& c : cases) {
        ov_video_param_s video{OV_VIDEO_FORMAT_H264, 25, 2000};
        ov_audio_param_s audio{OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_16000, OV_AUDIO_SAMPLE_BITS_16BIT,
                               OV_AUDIO_CHANNEL_STEREO};
        std::memcpy(&video.format, &c.video, sizeof c.video);
        std::memcpy(&audio.format, &c.audio, sizeof c.audio);
        zenq_rtmp_config_s config;
        ASSERT_EQ(BuildRelayRtmpConfig(12.5, video, audio, &config), c.accepted) << c.video << "/" << c.audio;
        if (!c.accepted) continue;
        EXPECT_EQ(config.video_format, c.rtmp_video);
        EXPECT_EQ(config.audio_format, c.rtmp_audio);
        EXPECT_EQ(config.timestamp_type, 1);
        EXPECT_EQ(config.audio_rate, ZENQ_RTMP_AUDIO_RATE_5_5K);
        EXPECT_EQ(config.audio_extern_rate, ZENQ_RTMP_AUDIO_EXTERN_RATE_16000);
        EXPECT_EQ(config.audio_bit, ZENQ_RTMP_AUDIO_BIT_16BIT);
        EXPECT_EQ(config.audio_channel, ZENQ_RTMP_AUDIO_CHANNEL_STEREO);
        EXPECT_EQ(config.duration_s, 12.5);
        EXPECT_EQ(config.stream_encrypt, 0);
    }
}

TEST(RelayCipher, OnlySixteenByteKeysAndIvsAreUsable) {
    const std::string sixteen = "ABEiM0RVZneImaq7zN3u/w==";  // 00 11 22 .. ff
    struct Case {
        const char* iv;
        const char* key;
        bool usable;
    };
    const Case cases[] = {
        {"", "", true},                                       // clear stream
        {"", "ABEiM0RVZneImaq7zN3u/w==", true},               // only one text: the cloud means no encryption
        {"ABEiM0RVZneImaq7zN3u/w==", "ABEiM0RVZneImaq7zN3u/w==", true},
        {"ABEiM0RVZneImaq7zN3u", "ABEiM0RVZneImaq7zN3u/w==", false},      // 15 bytes
        {"ABEiM0RVZneImaq7zN3u/w==", "ABEiM0RVZneImaq7zN3u/+4A", false},  // 18 bytes
        {"ABEiM0RVZneImaq7zN3u/w==", "ABEiM0RVZneImaq7zN3u/w=", false},   // not Base64 length
        {"ABEiM0RVZneImaq7zN3u/w==", "c2hvcnQ=", false},                  // 5 bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelayCipherUsable(c.iv, c.key), c.usable) << c.iv << " / " << c.key;
        EXPECT_EQ(RelayService::CipherAcceptable(c.iv, c.key), c.usable);
    }
    uint8_t decoded[16] = {};
    ASSERT_TRUE(DecodeRelayCipherText(sixteen, decoded));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(decoded[i], 0x11 * i);
}

}  // namespace
