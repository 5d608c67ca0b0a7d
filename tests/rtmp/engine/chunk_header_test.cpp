// Chunk headers and control message bodies: exact bytes both ways.
#include "rtmp/rtmp_sdk/engine/chunk_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_test_util.h"
#include "rtmp/rtmp_sdk/engine/control_messages.h"

namespace {

using rtmp_chunk::ChunkHeader;

std::string HexOf(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    return enginetest::Hex(std::vector<char>(p, p + n));
}

struct HeaderCase {
    const char* name;
    ChunkHeader header;
    std::string hex;
};

ChunkHeader Header(int fmt, int csid, uint32_t ts, uint32_t len, uint8_t type, uint32_t stream) {
    ChunkHeader h;
    h.fmt = fmt;
    h.chunk_stream_id = csid;
    h.timestamp = ts;
    h.message_length = len;
    h.message_type = type;
    h.message_stream_id = stream;
    h.extended_timestamp = ts >= rtmp_chunk::kExtendedTimestampMarker;
    return h;
}

const HeaderCase kHeaderCases[] = {
    {"FullOnCommandStream", Header(0, 3, 0, 0x123, 20, 0), "030000000001231400000000"},
    {"FullStreamIdLittleEndian", Header(0, 4, 0x010203, 5, 9, 0x01020304), "040102030000050904030201"},
    {"NoStreamId", Header(1, 3, 40, 300, 8, 0), "430000280001 2c08"},
    {"DeltaOnly", Header(2, 6, 20, 0, 0, 0), "86000014"},
    {"NoHeader", Header(3, 4, 0, 0, 0, 0), "c4"},
    {"LargestOneByteId", Header(3, 63, 0, 0, 0, 0), "ff"},
    {"SmallestTwoByteId", Header(3, 64, 0, 0, 0, 0), "c000"},
    {"LargestTwoByteId", Header(3, 319, 0, 0, 0, 0), "c0ff"},
    {"SmallestThreeByteId", Header(3, 320, 0, 0, 0, 0), "c10001"},
    {"LargestThreeByteId", Header(3, 65599, 0, 0, 0, 0), "c1ffff"},
    {"ExtendedTimestamp", Header(0, 4, 0x01000000, 1, 9, 1), "04ffffff000001090100000001000000"},
    {"ExtendedOnContinuation", Header(3, 4, 0xFFFFFF, 0, 0, 0), "c400ffffff"},
};

std::string Compact(std::string hex) {
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    return hex;
}

class ChunkHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ChunkHeaderTest, EncodesAndDecodesTheSameBytes) {
    const HeaderCase& c = GetParam();
    uint8_t bytes[18] = {};
    const int size = rtmp_chunk::EncodeChunkHeader(c.header, bytes);
    EXPECT_EQ(size, rtmp_chunk::EncodedHeaderSize(c.header));
    EXPECT_EQ(HexOf(bytes, static_cast<size_t>(size)), Compact(c.hex));

    int fmt = -1;
    int id = -1;
    const int basic = rtmp_chunk::BasicHeaderSizeFromFirstByte(bytes[0]);
    EXPECT_EQ(basic, rtmp_chunk::BasicHeaderSizeForId(c.header.chunk_stream_id));
    rtmp_chunk::DecodeBasicHeader(bytes, &fmt, &id);
    EXPECT_EQ(fmt, c.header.fmt);
    EXPECT_EQ(id, c.header.chunk_stream_id);
    ChunkHeader decoded;
    decoded.extended_timestamp = c.header.fmt == 3 && c.header.extended_timestamp;
    rtmp_chunk::DecodeMessageHeader(bytes + basic, fmt, &decoded);
    EXPECT_EQ(decoded.extended_timestamp, c.header.extended_timestamp);
    if (fmt <= 2 && !decoded.extended_timestamp) {
        EXPECT_EQ(decoded.timestamp, c.header.timestamp);
    }
    if (fmt <= 1) {
        EXPECT_EQ(decoded.message_length, c.header.message_length);
        EXPECT_EQ(decoded.message_type, c.header.message_type);
    }
    if (fmt == 0) {
        EXPECT_EQ(decoded.message_stream_id, c.header.message_stream_id);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, ChunkHeaderTest, ::testing::ValuesIn(kHeaderCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(ChunkHeaderTest, MessageHeaderSizesFollowTheHeaderType) {
    const int expected[] = {11, 7, 3, 0};
    for (int fmt = 0; fmt < 4; ++fmt) EXPECT_EQ(rtmp_chunk::MessageHeaderSize(fmt), expected[fmt]);
}

TEST(ControlMessageTest, EncodersWriteTheBodiesOfRtmpFiveFourAndSixTwo) {
    char out[16];
    EXPECT_EQ(rtmp_control::EncodeChunkSize(60000, out), 4);
    EXPECT_EQ(HexOf(out, 4), "0000ea60");
    rtmp_control::EncodeChunkSize(0xFFFFFFFF, out);
    EXPECT_EQ(HexOf(out, 4), "7fffffff");
    EXPECT_EQ(rtmp_control::EncodeUint32Body(2500000, out), 4);
    EXPECT_EQ(HexOf(out, 4), "002625a0");
    EXPECT_EQ(rtmp_control::EncodePeerBandwidth(2500000, 2, out), 5);
    EXPECT_EQ(HexOf(out, 5), "002625a002");
    EXPECT_EQ(rtmp_control::EncodeUserControl(rtmp_control::USER_CONTROL_PING_RESPONSE, 0x1234, 0, out), 6);
    EXPECT_EQ(HexOf(out, 6), "000700001234");
    EXPECT_EQ(rtmp_control::EncodeUserControl(rtmp_control::USER_CONTROL_SET_BUFFER_LENGTH, 1, 300, out), 10);
    EXPECT_EQ(HexOf(out, 10), "0003000000010000012c");
}

TEST(ControlMessageTest, DecodersRefuseShortOrInvalidBodies) {
    uint32_t value = 0;
    uint8_t limit = 0;
    uint16_t event = 0;
    EXPECT_TRUE(rtmp_control::DecodeChunkSize("\x80\x00\x10\x00", 4, &value));
    EXPECT_EQ(value, 4096u);  // the reserved top bit is ignored
    EXPECT_FALSE(rtmp_control::DecodeChunkSize("\x00\x00\x00\x00", 4, &value));
    EXPECT_FALSE(rtmp_control::DecodeChunkSize("\x00\x00\x10", 3, &value));
    EXPECT_FALSE(rtmp_control::DecodeUint32Body("\x00\x00\x10", 3, &value));
    EXPECT_TRUE(rtmp_control::DecodePeerBandwidth("\x00\x00\x03\xe8\x01", 5, &value, &limit));
    EXPECT_EQ(value, 1000u);
    EXPECT_EQ(limit, 1);
    EXPECT_TRUE(rtmp_control::DecodePeerBandwidth("\x00\x00\x03\xe8", 4, &value, &limit));
    EXPECT_EQ(limit, 255);
    EXPECT_TRUE(rtmp_control::DecodeUserControl("\x00\x06\x00\x00\x00\x4d", 6, &event, &value));
    EXPECT_EQ(event, rtmp_control::USER_CONTROL_PING_REQUEST);
    EXPECT_EQ(value, 77u);
    EXPECT_FALSE(rtmp_control::DecodeUserControl("\x00\x06\x00\x00\x00", 5, &event, &value));
    EXPECT_TRUE(rtmp_control::DecodeUserControl("\x00\x1a\x02", 3, &event, &value));
    EXPECT_EQ(value, 2u);
    EXPECT_FALSE(rtmp_control::DecodeUserControl("\x00", 1, &event, &value));
}

}  // namespace
