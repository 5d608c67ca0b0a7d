// The pure parts of the client: unit scanning, FLV audio and video bodies, timestamps, and the
// decoding of the server's audio bodies and status descriptions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rtmp/rtmp_sdk/annexb_frame_layout.h"
#include "rtmp/rtmp_sdk/flv_audio_body.h"
#include "rtmp/rtmp_sdk/flv_video_body.h"
#include "rtmp/rtmp_sdk/inbound_audio.h"
#include "rtmp/rtmp_sdk/inbound_status.h"
#include "rtmp/rtmp_sdk/raw_enum.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/timestamp_rebase.h"
#include "wire_bytes.h"

namespace facadetest {
namespace {

Bytes Units(const std::vector<Bytes>& units, bool four_byte = false) {
    Bytes out;
    for (const Bytes& unit : units) {
        if (four_byte) out.push_back(0);
        out.insert(out.end(), {0, 0, 1});
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

TEST(AnnexBFrameLayout, ThirteenStartCodesGiveTwelveUnitsTheLastRunningToTheEnd) {
    std::vector<Bytes> units;
    for (int i = 0; i < 13; ++i) units.push_back({0x01, static_cast<uint8_t>(i), 0x55});
    Bytes frame = Units(units);
    FrameLayout layout = AnalyzeAnnexBFrame(frame.data(), frame.size(), ZENQ_RTMP_VIDEO_FORMAT_AVC);
    ASSERT_EQ(layout.count, 12);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(layout.units[i].len, 3u) << i;
    EXPECT_EQ(layout.units[11].offset, 11 * 6 + 3u);
    EXPECT_EQ(layout.units[11].offset + layout.units[11].len, frame.size());
    EXPECT_EQ(layout.slice, 0);
}

TEST(AnnexBFrameLayout, FourByteStartCodesLeaveTheirZeroInThePreviousUnit) {
    Bytes frame = Units({{0x67, 1, 2, 3}, {0x68, 4}, {0x65, 9, 9}}, true);
    FrameLayout layout = AnalyzeAnnexBFrame(frame.data(), frame.size(), ZENQ_RTMP_VIDEO_FORMAT_AVC);
    ASSERT_EQ(layout.count, 3);
    EXPECT_EQ(layout.units[0].len, 5u);
    EXPECT_EQ(layout.units[1].len, 3u);
    EXPECT_EQ(layout.units[2].len, 3u);
}

TEST(AnnexBFrameLayout, UnitsAreClassifiedPerCodecUpToTheFirstSlice) {
    struct Case {
        const char* name;
        zenq_rtmp_video_format_e format;
        std::vector<Bytes> units;
        int sps, pps, vps, sei, slice;
    };
    const Case cases[] = {
        {"h264 key frame", ZENQ_RTMP_VIDEO_FORMAT_AVC, {{0x67, 1}, {0x68, 2}, {0x06, 3}, {0x65, 4}}, 0, 1, -1, 2, 3},
        {"h264 first of each kind", ZENQ_RTMP_VIDEO_FORMAT_AVC, {{0x67, 1}, {0x67, 2}, {0x41, 3}}, 0, -1, -1, -1, 2},
        {"h264 after the slice ignored",
         ZENQ_RTMP_VIDEO_FORMAT_AVC,
         {{0x09, 0}, {0x41, 1}, {0x67, 2}},
         -1,
         -1,
         -1,
         -1,
         1},
        {"h264 no slice", ZENQ_RTMP_VIDEO_FORMAT_AVC, {{0x67, 1}, {0x68, 2}}, 0, 1, -1, -1, -1},
        {"h265 key frame",
         ZENQ_RTMP_VIDEO_FORMAT_HEVC,
         {{0x40, 1}, {0x42, 1}, {0x44, 1}, {0x4E, 1}, {0x26, 1}},
         1,
         2,
         0,
         3,
         4},
        {"h265 suffix SEI and CRA", ZENQ_RTMP_VIDEO_FORMAT_HEVC, {{0x50, 1}, {0x2A, 1}}, -1, -1, -1, 0, 1},
        {"h265 trail and AUD", ZENQ_RTMP_VIDEO_FORMAT_HEVC, {{0x46, 1}, {0x02, 1}}, -1, -1, -1, -1, 1},
        {"h265 reserved types", ZENQ_RTMP_VIDEO_FORMAT_HEVC, {{0x14, 1}, {0x2C, 1}, {0x13, 1}}, -1, -1, -1, -1, 2},
    };
    for (const Case& c : cases) {
        Bytes frame = Units(c.units);
        frame.insert(frame.end(), 4, 0xAA);  // units at the end need four bytes behind their start code
        FrameLayout layout = AnalyzeAnnexBFrame(frame.data(), frame.size(), c.format);
        EXPECT_EQ(layout.sps, c.sps) << c.name;
        EXPECT_EQ(layout.pps, c.pps) << c.name;
        EXPECT_EQ(layout.vps, c.vps) << c.name;
        EXPECT_EQ(layout.sei, c.sei) << c.name;
        EXPECT_EQ(layout.slice, c.slice) << c.name;
    }
}

zenq_rtmp_config_s AudioConfig(int format, int rate, int bit, int channel, int extern_rate) {
    zenq_rtmp_config_s config{};
    SetRawEnum(&config.audio_format, format);
    SetRawEnum(&config.audio_rate, rate);
    SetRawEnum(&config.audio_bit, bit);
    SetRawEnum(&config.audio_channel, channel);
    SetRawEnum(&config.audio_extern_rate, extern_rate);
    return config;
}

TEST(FlvAudioBody, ConfigurationMessagesPerFormat) {
    struct Case {
        const char* name;
        zenq_rtmp_config_s config;
        std::string header_hex;  // empty: the format has none
    };
    const Case cases[] = {
        {"aac 44.1k stereo", AudioConfig(10, 3, 1, 1, 4), "af00121056e500"},
        {"aac 48k mono", AudioConfig(10, 3, 1, 0, 3), "af00118856e500"},
        {"aac 8k mono", AudioConfig(10, 0, 1, 0, 11), "af00158856e500"},
        {"aac 96k stereo", AudioConfig(10, 3, 1, 1, 0), "af00101056e500"},
        {"g711a 8k 16 bit mono", AudioConfig(7, 0, 1, 0, 11), "7200b000"},
        {"g711u 11k 8 bit stereo", AudioConfig(8, 1, 0, 1, 10), "8500a000"},
        {"adpcm", AudioConfig(1, 0, 1, 0, 11), ""},
    };
    for (const Case& c : cases) {
        uint8_t body[16] = {};
        size_t len = WriteAudioSequenceHeader(body, c.config);
        EXPECT_EQ(ToHex(Bytes(body, body + len)), c.header_hex) << c.name;
    }
}

TEST(FlvAudioBody, FramesPerFormat) {
    const Bytes raw = FromHex("0102030405");
    struct Case {
        const char* name;
        zenq_rtmp_config_s config;
        Bytes input;
        std::string body_hex;
    };
    const Case cases[] = {
        {"aac raw", AudioConfig(10, 3, 1, 0, 4), raw, "af010102030405"},
        {"aac adts", AudioConfig(10, 3, 1, 0, 4), Concat({FromHex("fff15080017ffc"), raw}), "af010102030405"},
        {"aac adts with crc", AudioConfig(10, 3, 1, 0, 4), Concat({FromHex("fff05080017ffcabcd"), raw}),
         "af010102030405"},
        {"aac 0xff 0xe0 is no adts", AudioConfig(10, 3, 1, 0, 4), FromHex("ffe0"), "af01ffe0"},
        {"g711a", AudioConfig(7, 0, 1, 0, 11), raw, "72010102030405"},
        {"adpcm 22k stereo", AudioConfig(1, 2, 1, 1, 7), raw, "1b0102030405"},
    };
    for (const Case& c : cases) {
        Bytes body(c.input.size() + 2);
        size_t len = WriteAudioFrame(body.data(), c.config, c.input.data(), c.input.size());
        EXPECT_EQ(ToHex(Bytes(body.begin(), body.begin() + static_cast<long>(len))), c.body_hex) << c.name;
    }
}

TEST(FlvVideoBody, FrameHeadersPerCodecAndFrameType) {
    const Bytes payload = FromHex("aabbcc");
    struct Case {
        zenq_rtmp_video_format_e format;
        bool key;
        std::string hex;
    };
    const Case cases[] = {
        {ZENQ_RTMP_VIDEO_FORMAT_AVC, true, "170100000000000003aabbcc"},
        {ZENQ_RTMP_VIDEO_FORMAT_AVC, false, "270100000000000003aabbcc"},
        {ZENQ_RTMP_VIDEO_FORMAT_HEVC, true, "1c0100000000000003aabbcc"},
        {ZENQ_RTMP_VIDEO_FORMAT_HEVC, false, "2c0100000000000003aabbcc"},
    };
    for (const Case& c : cases) {
        uint8_t body[32];
        size_t len = WriteVideoFrame(body, c.format, c.key, payload.data(), payload.size());
        EXPECT_EQ(ToHex(Bytes(body, body + len)), c.hex);
    }
}

TEST(FlvVideoBody, AvcConfigurationNeedsAnSpsWithItsLevel) {
    const Bytes sps = FromHex("6764001facd9"), pps = FromHex("68ebe3cb");
    uint8_t body[64];
    size_t len = WriteAvcSequenceHeader(body, sps.data(), sps.size(), pps.data(), pps.size());
    EXPECT_EQ(ToHex(Bytes(body, body + len)), "17000000000164001fffe100066764001facd901000468ebe3cb");
    EXPECT_EQ(WriteAvcSequenceHeader(body, sps.data(), 3, pps.data(), pps.size()), 0u);
    EXPECT_EQ(WriteAvcSequenceHeader(body, sps.data(), sps.size(), pps.data(), 0), 0u);
}

TEST(TimestampRebase, FirstFrameBecomesOneSecondAndEarlyFramesAreRefused) {
    struct Step {
        uint32_t in;
        bool send;
        uint32_t out;
    };
    const Step steps[] = {
        {0, true, 1000},  // a stream may start at 0 ms
        {40, true, 1040},
        {0xFFFFFFFFu, true, 999},  // 32-bit wrap of the caller's clock
        {10000, true, 11000},
        {0xFFFE0000u, true, 0xFFFE0000u + 1000},  // more than 65535 ms early wraps around and is sent
    };
    TimestampRebase rebase;
    rebase.Reset(0);
    for (const Step& s : steps) {
        RebasedTimestamp r = rebase.Apply(false, s.in);
        EXPECT_EQ(r.send, s.send) << s.in;
        if (r.send) {
            EXPECT_EQ(r.timestamp, s.out) << s.in;
        }
    }
    TimestampRebase late;
    late.Reset(5000);
    EXPECT_FALSE(late.Apply(false, 3000).send);  // 2 s before the base
    EXPECT_FALSE(late.Apply(false, 5000 - 66535).send);
    EXPECT_TRUE(late.Apply(false, 5000 - 66536).send);
    EXPECT_EQ(late.Apply(true, 3000).timestamp, 3000u);
}

TEST(SetConfig, OutOfRangeChoicesFallBackAndTheErrorCountIsKept) {
    rtmp_client_s* client = nullptr;
    ASSERT_EQ(IOT_RTMP_Init(&client), 0);
    zenq_rtmp_config_s config{};
    SetRawEnum(&config.video_format, 3);
    SetRawEnum(&config.audio_format, 2);
    SetRawEnum(&config.audio_rate, 4);
    SetRawEnum(&config.audio_bit, 2);
    SetRawEnum(&config.audio_channel, 5);
    SetRawEnum(&config.audio_extern_rate, 11);
    config.timestamp_error_count = 77;
    ASSERT_EQ(IOT_RTMP_SetConfig(client, &config), 0);
    EXPECT_EQ(RawEnum(client->config.video_format), 7);
    EXPECT_EQ(RawEnum(client->config.audio_format), 10);
    EXPECT_EQ(RawEnum(client->config.audio_rate), 3);
    EXPECT_EQ(RawEnum(client->config.audio_bit), 1);
    EXPECT_EQ(RawEnum(client->config.audio_channel), 0);
    EXPECT_EQ(RawEnum(client->config.audio_extern_rate), 11);
    EXPECT_EQ(client->config.timestamp_error_count, 0u);
    EXPECT_EQ(IOT_RTMP_SetConfig(client, nullptr), ZENQ_RTMP_ILLEGAL_INPUT);
    EXPECT_EQ(IOT_RTMP_Deinit(client), 0);
}

TEST(InboundAudio, BodiesAreReadPerFormat) {
    struct Case {
        const char* name;
        std::string hex;
        InboundAudio::Kind kind;
        int format, rate, bit, channel;
        std::string data_hex;
    };
    const Case cases[] = {
        {"g711a header", "7200b000", InboundAudio::kHeader, 7, 11, 1, 0, ""},
        {"g711a header stereo 8 bit", "71008000", InboundAudio::kHeader, 7, 8, 0, 1, ""},
        {"g711a data", "7201d5d5", InboundAudio::kData, 0, 0, 0, 0, "d5d5"},
        {"g711a other second byte is data", "7207d5", InboundAudio::kData, 0, 0, 0, 0, "d5"},
        {"aac header", "af001210", InboundAudio::kHeader, 10, 4, 1, 2, ""},
        {"aac header 8k mono", "af001588", InboundAudio::kHeader, 10, 11, 1, 1, ""},
        {"aac main profile", "af000a10", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"aac frequency index 13", "af001690", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"aac data", "af01abcd", InboundAudio::kData, 0, 0, 0, 0, "abcd"},
        {"aac unknown packet type", "af02abcd", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"g711u ignored", "8201d5", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"short g711a header", "7200", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"short aac header", "af0012", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
        {"one byte", "72", InboundAudio::kIgnored, 0, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        Bytes body = FromHex(c.hex);
        InboundAudio audio = ParseInboundAudio(body.data(), body.size());
        EXPECT_EQ(audio.kind, c.kind) << c.name;
        if (audio.kind == InboundAudio::kHeader) {
            EXPECT_EQ(audio.format, c.format) << c.name;
            EXPECT_EQ(audio.rate, c.rate) << c.name;
            EXPECT_EQ(audio.bit, c.bit) << c.name;
            EXPECT_EQ(audio.channel, c.channel) << c.name;
        }
        if (audio.kind == InboundAudio::kData) {
            EXPECT_EQ(ToHex(Bytes(audio.data, audio.data + audio.len)), c.data_hex) << c.name;
        }
    }
}

TEST(StatusDescription, EmbeddedObjectsBecomeJsonOtherTextIsCopied) {
    auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    struct Case {
        const char* name;
        std::string description;
        std::string expected;
        int length;
    };
    const std::string long_text(400, 'z');
    const Case cases[] = {
        {"plain", "1500", "1500", 4},
        {"empty", "", "", 0},
        {"play parameters", text(AmfObject({{"onlyKeyFrame", AmfBoolean(false)}, {"speed", AmfNumber(0.5)}})),
         "{\"onlyKeyFrame\":0, \"speed\":0.500000}", 36},
        {"missing members read as zero", text(AmfObject({})), "{\"onlyKeyFrame\":0, \"speed\":0.000000}", 36},
        {"undecodable object is copied", std::string("\x03\x00", 2), std::string("\x03\x00", 2), 2},
        {"long text is cut but its length kept", long_text, long_text.substr(0, 256), 400},
    };
    for (const Case& c : cases) {
        char out[ZENQ_RTMP_STATUS_TEXT_MAX + 1];
        std::memset(out, 0x7F, sizeof out);
        AVal description{c.description.data(), static_cast<int>(c.description.size())};
        int length = FormatStatusDescription(description, out, sizeof out);
        EXPECT_EQ(length, c.length) << c.name;
        EXPECT_EQ(std::string(out, std::min<size_t>(static_cast<size_t>(length), 256)), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace facadetest
