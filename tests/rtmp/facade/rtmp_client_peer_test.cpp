// The client's messages as a scripted RTMP server records them, and the server's commands and audio
// as the client decodes them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rtmp/rtmp_sdk/rtmp_client.h"
#include "rtmp_server_peer.h"
#include "wire_bytes.h"

namespace facadetest {
namespace {

using testsupport::PeerMessage;
using testsupport::RtmpServerPeer;

const Bytes kKey = FromHex("000102030405060708090a0b0c0d0e0f");
const Bytes kIv = FromHex("f0e0d0c0b0a090807060504030201000");

const Bytes kSps1 = FromHex("6742c01e8c8d40");
const Bytes kSps2 = FromHex("6742c0288c8d41");
const Bytes kPps = FromHex("68ce3c80");

Bytes Annexb(const std::vector<Bytes>& units) {
    Bytes out;
    for (const Bytes& unit : units) {
        out.insert(out.end(), {0, 0, 1});
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

Bytes Slice(uint8_t header, size_t len) {
    Bytes slice(len);
    slice[0] = header;
    for (size_t i = 1; i < len; ++i) slice[i] = static_cast<uint8_t>(0x20 + i % 200);
    return slice;
}

Bytes AvcConfigBody(const Bytes& sps, const Bytes& pps) {
    return Concat({{0x17, 0, 0, 0, 0, 1, sps[1], sps[2], sps[3], 0xFF, 0xE1, 0, static_cast<uint8_t>(sps.size())},
                   sps,
                   {1, 0, static_cast<uint8_t>(pps.size())},
                   pps});
}

Bytes NaluBody(uint8_t frame_byte, const Bytes& payload) {
    uint32_t n = static_cast<uint32_t>(payload.size());
    return Concat({{frame_byte, 1, 0, 0, 0, static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                    static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)},
                   payload});
}

std::vector<PeerMessage> OfType(const std::vector<PeerMessage>& all, int type) {
    std::vector<PeerMessage> out;
    for (const PeerMessage& m : all) {
        if (m.type == type) out.push_back(m);
    }
    return out;
}

zenq_rtmp_config_s Config(int timestamp_type, zenq_rtmp_audio_format_e audio, bool encrypt) {
    zenq_rtmp_config_s config{};
    config.timestamp_type = timestamp_type;
    config.video_format = ZENQ_RTMP_VIDEO_FORMAT_AVC;
    config.audio_format = audio;
    config.audio_rate = ZENQ_RTMP_AUDIO_RATE_5_5K;
    config.audio_extern_rate = ZENQ_RTMP_AUDIO_EXTERN_RATE_8000;
    config.audio_bit = ZENQ_RTMP_AUDIO_BIT_16BIT;
    config.audio_channel = ZENQ_RTMP_AUDIO_CHANNEL_MONO;
    config.duration_s = 12.5;
    config.stream_encrypt = encrypt ? 1 : 0;
    std::memcpy(config.key, kKey.data(), 16);
    std::memcpy(config.iv, kIv.data(), 16);
    return config;
}

// One client connected to a scripted server that accepts the publish and then runs extra steps.
class ClientAgainstPeer : public testing::Test {
protected:
    void Connect(const zenq_rtmp_config_s& config, const std::string& extra_steps = "") {
        std::string steps = R"([{"publish_ok": true})" + extra_steps + R"(, {"drain": true}])";
        peer_ = std::make_unique<RtmpServerPeer>(steps);
        ASSERT_TRUE(peer_->Start());
        ASSERT_EQ(IOT_RTMP_Init(&client_), 0);
        ASSERT_EQ(IOT_RTMP_SetConfig(client_, &config), 0);
        url_ = peer_->Url("live/cam1");
        ASSERT_EQ(IOT_RTMP_Connect(client_, url_.data()), 0);
        ASSERT_EQ(IOT_RTMP_IsConnect(client_), 0);
    }

    std::vector<PeerMessage> Finish() {
        EXPECT_EQ(IOT_RTMP_Disconnect(client_), 0);
        EXPECT_TRUE(peer_->WaitForEnd());
        return peer_->Messages();
    }

    void TearDown() override {
        if (client_ != nullptr) {
            IOT_RTMP_Disconnect(client_);
            IOT_RTMP_Deinit(client_);
        }
    }

    int SendVideo(Bytes frame, bool key, uint32_t ts) {
        return IOT_RTMP_SendVideo(client_, frame.data(), static_cast<uint32_t>(frame.size()), key ? 1 : 0, ts);
    }
    int SendAudio(const Bytes& frame, uint32_t ts) {
        return IOT_RTMP_SendAudio(client_, frame.data(), static_cast<uint32_t>(frame.size()), ts);
    }

    std::unique_ptr<RtmpServerPeer> peer_;
    rtmp_client_s* client_ = nullptr;
    std::string url_;
};

TEST_F(ClientAgainstPeer, VideoWaitsForAKeyFrameAndResendsTheConfigurationAfterAnSpsChange) {
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false));
    const Bytes key = Slice(0x65, 40), inter = Slice(0x41, 30);
    EXPECT_EQ(SendVideo(Annexb({inter}), false, 0), 0);             // before any key frame
    EXPECT_EQ(SendVideo(Annexb({kSps1, kPps, key}), true, 40), 0);  // configuration + frame
    EXPECT_EQ(SendVideo(Annexb({inter}), false, 80), 0);
    EXPECT_EQ(SendVideo(Annexb({kSps2, inter}), false, 120), 0);  // new SPS: video stops
    EXPECT_EQ(SendVideo(Annexb({inter}), false, 160), 0);
    EXPECT_EQ(SendVideo(Annexb({kSps2, kPps, key}), true, 200), 0);  // new configuration
    EXPECT_EQ(SendVideo(Annexb({kSps1}), true, 240), 0);             // no slice: nothing sent

    std::vector<PeerMessage> video = OfType(Finish(), 9);
    struct Expected {
        uint32_t ts;
        Bytes body;
    };
    const Expected expected[] = {
        {40, AvcConfigBody(kSps1, kPps)},  {40, NaluBody(0x17, key)},  {80, NaluBody(0x27, inter)},
        {200, AvcConfigBody(kSps2, kPps)}, {200, NaluBody(0x17, key)},
    };
    ASSERT_EQ(video.size(), std::size(expected));
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].ts, expected[i].ts) << i;
        EXPECT_EQ(video[i].body_hex, ToHex(expected[i].body)) << i;
        EXPECT_EQ(video[i].csid, 4) << i;
        EXPECT_EQ(video[i].stream, 1) << i;
    }
}

TEST_F(ClientAgainstPeer, APrivateSeiTravelsInFrontOfTheSliceWithItsOwnStartCode) {
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false));
    const Bytes sei = FromHex("0642414241010203040506");  // SEI "BABA" + payload
    const Bytes key = Slice(0x65, 20);
    EXPECT_EQ(SendVideo(Annexb({kSps1, kPps, sei, key}), true, 0), 0);
    std::vector<PeerMessage> video = OfType(Finish(), 9);
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[1].body_hex, ToHex(NaluBody(0x17, Concat({{0, 0, 1}, sei, {0, 0, 1}, key}))));
}

TEST_F(ClientAgainstPeer, AFrameWithoutRoomForTheCachedSeiIsDropped) {
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false));
    const Bytes private_sei = Concat({FromHex("06393938380a"), Bytes(40, 0x11)});  // "9988"
    const Bytes other_sei = FromHex("0605");                                       // leaves the cache as it was
    testing::internal::CaptureStdout();
    EXPECT_EQ(SendVideo(Annexb({kSps1, kPps, private_sei, Slice(0x65, 20)}), true, 0), 0);
    EXPECT_EQ(SendVideo(Annexb({other_sei, Slice(0x41, 20)}), false, 40), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("SEI INFO ERROR, Should not be here\n"), std::string::npos);
    std::vector<PeerMessage> video = OfType(Finish(), 9);
    EXPECT_EQ(video.size(), 2u);  // configuration and key frame; the inter frame is gone
}

TEST_F(ClientAgainstPeer, H265WaitsForAKeyFrameWhoseParameterSetsMakeARecord) {
    zenq_rtmp_config_s config = Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false);
    config.video_format = ZENQ_RTMP_VIDEO_FORMAT_HEVC;
    Connect(config);
    const Bytes sps = FromHex("4201010160000003000003000003000003005da00280802d165995"), pps = FromHex("4401c172b462");
    Bytes idr = Slice(0x26, 30);
    idr[1] = 0x01;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SendVideo(Annexb({sps, pps, idr}), true, 0), 0);  // no VPS: no record
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Parse hevc header failed, ret = -1\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Send h265 failed, ret = -1\n"), std::string::npos) << printed;
    const Bytes vps = FromHex("40010c01ffff016000000300000300000300000300ba9409");
    EXPECT_EQ(SendVideo(Annexb({vps, sps, pps, idr}), true, 40), 0);
    std::vector<PeerMessage> video = OfType(Finish(), 9);
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[0].ts, 40u);
    EXPECT_EQ(video[0].body_hex.substr(0, 12), "1c0000000001");  // sequence header, hvcC version 1
    EXPECT_EQ(video[1].body_hex, ToHex(NaluBody(0x1C, idr)));
}

TEST_F(ClientAgainstPeer, EncryptedBodiesKeepTheirHeadersClearAndDecryptToTheClearStream) {
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_G711A, true));
    const Bytes key = Slice(0x65, 100), inter = Slice(0x41, 50), samples(160, 0xD5);
    EXPECT_EQ(SendVideo(Annexb({kSps1, kPps, key}), true, 0), 0);
    EXPECT_EQ(SendVideo(Annexb({inter}), false, 40), 0);
    EXPECT_EQ(SendAudio(samples, 0), 0);

    std::vector<PeerMessage> all = Finish();
    std::vector<PeerMessage> video = OfType(all, 9), audio = OfType(all, 8);
    ASSERT_EQ(video.size(), 3u);
    ASSERT_EQ(audio.size(), 2u);
    struct Case {
        const PeerMessage& message;
        Bytes clear;
        size_t clear_prefix;  // bytes sent unencrypted
        int wire_len;
    };
    const uint8_t sound = 7 << 4 | 0 << 2 | 1 << 1 | 0;
    const Case cases[] = {
        {video[0], AvcConfigBody(kSps1, kPps), 5, 5 + 16 * 2},
        {video[1], NaluBody(0x17, key), 5, 5 + 4 + 100 + 8},  // 104 bytes padded with 8
        {video[2], NaluBody(0x27, inter), 9 + 50, 9 + 50},    // inter frames stay clear
        {audio[0], {sound, 0, 11 << 4, 0}, 0, 16},            // G.711 configuration
        {audio[1], Concat({{sound, 1}, samples}), 0, 176},
    };
    for (const Case& c : cases) {
        Bytes wire = FromHex(c.message.body_hex);
        EXPECT_EQ(c.message.len, c.wire_len);
        ASSERT_GE(wire.size(), c.clear_prefix);
        Bytes prefix(wire.begin(), wire.begin() + static_cast<long>(c.clear_prefix));
        Bytes decrypted = Concat({prefix});
        if (wire.size() > c.clear_prefix) {
            decrypted =
                Concat({prefix,
                        AesCbcDecrypt(kKey, kIv, Bytes(wire.begin() + static_cast<long>(c.clear_prefix), wire.end()))});
        }
        EXPECT_EQ(ToHex(decrypted), ToHex(c.clear)) << c.message.body_hex;
    }
}

TEST_F(ClientAgainstPeer, RebasedTimestampsRefuseLateFramesAndGiveUpAfterAHundred) {
    Connect(Config(0, ZENQ_RTMP_AUDIO_FORMAT_G711A, false));
    const Bytes samples(80, 0x55);
    EXPECT_EQ(SendAudio(samples, 5000), 0);
    EXPECT_EQ(SendAudio(samples, 5040), 0);
    EXPECT_EQ(SendAudio(samples, 4500), 0);  // 500 ms early: still after the 1000 ms start
    for (int i = 0; i < 100; ++i) EXPECT_EQ(SendAudio(samples, 3000), 0) << i;  // 2 s early: refused
    EXPECT_EQ(SendAudio(samples, 3000), ZENQ_RTMP_READ_TIMESTAMP_ERROR);
    EXPECT_EQ(SendAudio(samples, 5080), 0);

    std::vector<PeerMessage> audio = OfType(Finish(), 8);
    std::vector<uint32_t> timestamps;
    for (const PeerMessage& m : audio) timestamps.push_back(m.ts);
    EXPECT_EQ(timestamps, (std::vector<uint32_t>{1000, 1000, 1040, 500, 1080}));
}

TEST_F(ClientAgainstPeer, AacConfigurationPrecedesFramesStrippedOfTheirAdtsHeader) {
    zenq_rtmp_config_s config = Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false);
    config.audio_extern_rate = ZENQ_RTMP_AUDIO_EXTERN_RATE_44100;
    config.audio_channel = ZENQ_RTMP_AUDIO_CHANNEL_STEREO;
    Connect(config);
    const Bytes raw = FromHex("21100586");
    const Bytes adts = Concat({FromHex("fff15080017ffc"), raw});
    const Bytes adts_crc = Concat({FromHex("fff05080017ffc1234"), raw});
    EXPECT_EQ(SendAudio(adts, 0), 0);
    EXPECT_EQ(SendAudio(adts_crc, 23), 0);
    EXPECT_EQ(SendAudio(raw, 46), 0);
    EXPECT_EQ(SendAudio(Bytes(8193, 1), 69), ZENQ_RTMP_ILLEGAL_INPUT);

    std::vector<PeerMessage> audio = OfType(Finish(), 8);
    ASSERT_EQ(audio.size(), 4u);
    EXPECT_EQ(audio[0].body_hex, "af00121056e500");  // AAC LC, 44.1 kHz, 2 channels, no SBR
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(audio[i].body_hex, "af01" + ToHex(raw)) << i;
}

TEST_F(ClientAgainstPeer, MetadataAndCustomStatusMessages) {
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false));
    EXPECT_EQ(IOT_RTMP_SendMetadata(client_), 0);
    const char code[] = "NetStream.VOD.Complete";
    EXPECT_EQ(IOT_RTMP_SendMessage(client_, code, static_cast<int>(strlen(code))), 0);
    EXPECT_EQ(IOT_RTMP_SendMessage(client_, code, 0), ZENQ_RTMP_ILLEGAL_INPUT);

    std::vector<PeerMessage> all = Finish();
    std::vector<PeerMessage> metadata = OfType(all, 18);
    ASSERT_EQ(metadata.size(), 1u);
    EXPECT_EQ(metadata[0].name, "onMetaData");
    EXPECT_EQ(metadata[0].args, R"([{"duration":12.5}])");
    EXPECT_EQ(metadata[0].csid, 3);
    EXPECT_EQ(metadata[0].ts, 0u);
    std::vector<PeerMessage> status = peer_->Commands("onStatus");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_NE(status[0].args.find(R"(null,{"level":"status","code":"NetStream.VOD.Complete","description":"desc"}])"),
              std::string::npos)
        << status[0].args;
    EXPECT_EQ(status[0].csid, 3);
}

// The server's side: one message step that sends body on chunk stream 5, message stream 1.
std::string SendStep(int type, const Bytes& body, uint32_t ts = 0) {
    return R"(, {"send": "message", "type": )" + std::to_string(type) + R"(, "csid": 5, "ts": )" + std::to_string(ts) +
           R"(, "hex": ")" + ToHex(body) + "\"}";
}

Bytes StatusCommand(const std::string& code, const Bytes& description, const std::string& name = "onStatus") {
    return Concat(
        {AmfString(name), AmfNumber(0), AmfNull(),
         AmfObject({{"level", AmfString("status")}, {"code", AmfString(code)}, {"description", description}})});
}

struct StatusRead {
    int result;
    std::string code;
    int code_len;
    std::string description;
    int description_len;
};

TEST_F(ClientAgainstPeer, StatusCommandsFollowTheDescriptionRules) {
    const Bytes params = AmfObject({{"onlyKeyFrame", AmfBoolean(true)}, {"speed", AmfNumber(2)}});
    const std::string long_text(300, 'x');
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_AAC, false),
            SendStep(20, StatusCommand("NetStream.Seek.Start", AmfString("1500"))) +
                SendStep(20, StatusCommand("x", AmfString("y"), "_result")) +
                SendStep(20, StatusCommand("NetStream.SetPlayParam.Start",
                                           AmfString(std::string(params.begin(), params.end())))) +
                SendStep(20, StatusCommand("NetStream.Pause.Notify", AmfString(long_text))));
    const StatusRead expected[] = {
        {0, "NetStream.Seek.Start", 20, "1500", 4},
        {ZENQ_RTMP_READ_MESSAGE_FAILED, "", 0, "", 0},  // a command that is not onStatus
        {0, "NetStream.SetPlayParam.Start", 28, "{\"onlyKeyFrame\":1, \"speed\":2.000000}", 36},
        {0, "NetStream.Pause.Notify", 22, long_text.substr(0, 256), 300},
    };
    for (const StatusRead& want : expected) {
        char code[ZENQ_RTMP_STATUS_TEXT_MAX + 1] = {};
        char description[ZENQ_RTMP_STATUS_TEXT_MAX + 1] = {};
        int code_len = 0, description_len = 0;
        int result = ZENQ_RTMP_READ_MESSAGE_FAILED;
        // Each call reads one chunk; a message of several chunks completes on its last.
        for (int chunk = 0; chunk < 8; ++chunk) {
            code_len = description_len = 0;
            result = IOT_RTMP_ReadOnStatus(client_, code, &code_len, description, &description_len);
            if (result == 0 || want.result != 0) break;
        }
        EXPECT_EQ(result, want.result) << want.code;
        if (want.result != 0) continue;
        EXPECT_EQ(std::string(code), want.code);
        EXPECT_EQ(code_len, want.code_len);
        EXPECT_EQ(std::string(description), want.description);
        EXPECT_EQ(description_len, want.description_len);
    }
    Finish();
}

struct Received {
    std::vector<std::string> events;
};

int OnAudio(const void* data, int len, uint32_t ts, void* arg) {
    static_cast<Received*>(arg)->events.push_back(
        "audio " + std::to_string(ts) + " " +
        ToHex(Bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + len)));
    return 0;
}

int OnAudioHeader(zenq_rtmp_audio_format_e format, zenq_rtmp_audio_extern_rate_e rate, zenq_rtmp_audio_bit_e bit,
                  int channel, void* arg) {
    static_cast<Received*>(arg)->events.push_back("header " + std::to_string(format) + " " + std::to_string(rate) +
                                                  " " + std::to_string(bit) + " " + std::to_string(channel));
    return 0;
}

int OnNotify(const char* code, int code_len, const char*, int, void* arg) {
    static_cast<Received*>(arg)->events.push_back("notify " + std::string(code, static_cast<size_t>(code_len)));
    return 0;
}

TEST_F(ClientAgainstPeer, InboundAudioIsDecryptedAndItsConfigurationReported) {
    const Bytes g711_header = {0x72, 0, 11 << 4, 0};
    const Bytes g711_data = Concat({{0x72, 1}, Bytes(32, 0xD5)});
    const Bytes aac_header = {0xAF, 0, 0x15, 0x88};  // AAC LC, index 11 (8 kHz), 1 channel
    Bytes tampered = AesCbcEncrypt(kKey, kIv, g711_data);
    tampered.back() ^= 0x01;
    Connect(Config(1, ZENQ_RTMP_AUDIO_FORMAT_G711A, true),
            SendStep(8, AesCbcEncrypt(kKey, kIv, g711_header), 10) +
                SendStep(8, AesCbcEncrypt(kKey, kIv, g711_data), 20) + SendStep(8, tampered, 30) +
                SendStep(8, AesCbcEncrypt(kKey, kIv, aac_header), 40) +
                SendStep(20, StatusCommand("NetStream.Play.Stop", AmfString("-"))));
    Received received;
    zenq_rtmp_read_handler handler{&received, nullptr, OnAudio, OnNotify, OnAudioHeader};
    ASSERT_EQ(IOT_RTMP_SetReadCallback(client_, &handler), 0);
    std::vector<int> results;
    while (received.events.size() < 4 && results.size() < 20) results.push_back(IOT_RTMP_Read(client_));
    EXPECT_EQ(received.events, (std::vector<std::string>{"header 7 11 1 0", "audio 20 " + ToHex(Bytes(32, 0xD5)),
                                                         "header 10 11 1 1", "notify NetStream.Play.Stop"}));
    EXPECT_NE(std::find(results.begin(), results.end(), ZENQ_RTMP_READ_MESSAGE_FAILED), results.end());
    Finish();
}

TEST(ClientWithoutConnection, ArgumentsAndStateAreChecked) {
    rtmp_client_s* client = nullptr;
    ASSERT_EQ(IOT_RTMP_Init(&client), 0);
    Bytes frame = Annexb({Slice(0x65, 10)});
    EXPECT_EQ(IOT_RTMP_IsConnect(client), ZENQ_RTMP_IS_DISCONNECTED);
    EXPECT_EQ(IOT_RTMP_IsConnect(nullptr), ZENQ_RTMP_ILLEGAL_INPUT);
    EXPECT_EQ(IOT_RTMP_SendVideo(client, frame.data(), 4, 1, 0), ZENQ_RTMP_ILLEGAL_INPUT);
    EXPECT_EQ(IOT_RTMP_SendVideo(client, nullptr, 10, 1, 0), ZENQ_RTMP_ILLEGAL_INPUT);
    EXPECT_EQ(IOT_RTMP_SendAudio(client, frame.data(), 0, 0), ZENQ_RTMP_ILLEGAL_INPUT);
    EXPECT_EQ(IOT_RTMP_SendMetadata(client), ZENQ_RTMP_SEND_FAILED);
    EXPECT_EQ(IOT_RTMP_Read(client), ZENQ_RTMP_IS_DISCONNECTED);
    EXPECT_EQ(IOT_RTMP_CheckPlaying(client), 0);
    EXPECT_EQ(IOT_RTMP_CheckTalkReady(client), 0);
    char url[] = "rtmp://127.0.0.1:1/live/none";
    EXPECT_EQ(IOT_RTMP_Connect(client, url), ZENQ_RTMP_CONNECT_FAILED);
    EXPECT_EQ(IOT_RTMP_Disconnect(client), 0);
    EXPECT_EQ(IOT_RTMP_Deinit(client), 0);
    EXPECT_EQ(IOT_RTMP_Deinit(nullptr), ZENQ_RTMP_ILLEGAL_INPUT);
}

}  // namespace
}  // namespace facadetest
