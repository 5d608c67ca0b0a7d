// Reading and writing chunk streams through a fake transport: header inheritance, interleaving,
// extended timestamps, time-outs, failures, and the life of the connection state.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_test_util.h"
#include "fake_transport.h"
#include "rtmp/rtmp_sdk/engine/rtmp.h"

namespace {

using enginetest::EngineLog;
using enginetest::FakeTransport;

std::string Bytes(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string Fill(size_t n, char c) { return std::string(n, c); }

// A state connected over the fake transport, the handshake and connect command already done.
class FakeConnection {
public:
    explicit FakeConnection(const std::string& server_bytes, size_t max_read = 7) : r_(RTMP_Alloc()) {
        transport_.input = FakeTransport::ServerHandshake() + server_bytes;
        transport_.max_read = max_read;
        RTMP_Init(r_);
        RTMP_SetTransport(r_, &transport_);
        connected_ = RTMP_ConnectOnSocket(r_, FakeTransport::kFd) == 1;
    }
    ~FakeConnection() { RTMP_Free(r_); }
    RTMP* get() { return r_; }
    FakeTransport& transport() { return transport_; }
    bool connected() const { return connected_; }

private:
    FakeTransport transport_;
    RTMP* r_;
    bool connected_ = false;
};

struct Message {
    int csid;
    uint32_t ts;
    int type;
    uint32_t length;
    int stream;
    std::string body;
    bool operator==(const Message& o) const {
        return csid == o.csid && ts == o.ts && type == o.type && length == o.length && stream == o.stream &&
               body == o.body;
    }
};

std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << "{csid " << m.csid << " ts " << m.ts << " type " << m.type << " len " << m.length << " stream "
              << m.stream << "}";
}

struct ReadCase {
    const char* name;
    std::string server_bytes;
    std::vector<Message> messages;
    int incomplete_reads;
};

const std::string kHi = Bytes("0200026869");

const ReadCase kReadCases[] = {
    {"HeadersInheritAndTimestampsAccumulate",
     Bytes("030003e80000051400000000") + kHi + Bytes("83000028") + kHi + Bytes("c3") + kHi,
     {{3, 1000, 20, 5, 0, kHi}, {3, 1040, 20, 5, 0, kHi}, {3, 1080, 20, 5, 0, kHi}},
     0},
    {"InterleavedChunkStreams",
     Bytes("040000000000c80901000000") + Fill(128, '\xaa') + Bytes("050000100000020801000000") + "ab" + Bytes("c4") +
         Fill(72, '\xaa'),
     {{5, 16, 8, 2, 1, "ab"}, {4, 0, 9, 200, 1, Fill(200, '\xaa')}},
     1},
    {"ExtendedTimestampRepeatedOnContinuation",
     Bytes("04ffffff0000c8090100000001000000") + Fill(128, 'x') + Bytes("c401000000") + Fill(72, 'y'),
     {{4, 0x01000000, 9, 200, 1, Fill(128, 'x') + Fill(72, 'y')}},
     1},
    {"ThreeByteBasicHeader", Bytes("01a80300000000000109000000007a"), {{1000, 0, 9, 1, 0, "z"}}, 0},
    {"TwoByteBasicHeader", Bytes("000a00000000000109000000007a"), {{74, 0, 9, 1, 0, "z"}}, 0},
    {"EmptyMessage", Bytes("060000000000000400000000"), {{6, 0, 4, 0, 0, ""}}, 0},
    {"NewMessageAbandonsAnUnfinishedOne",
     Bytes("040000000000c80901000000") + Fill(128, 'p') + Bytes("4400000500000209") + "ok",
     {{4, 5, 9, 2, 1, "ok"}},
     1},
};

class ChunkReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ChunkReadTest, AssemblesMessagesAsTheServerChunkedThem) {
    FakeConnection connection(GetParam().server_bytes);
    ASSERT_TRUE(connection.connected());
    std::vector<Message> messages;
    int incomplete = 0;
    RTMPPacket packet;
    while (RTMP_ReadPacket(connection.get(), &packet)) {
        if (!RTMPPacket_IsReady(&packet)) {
            ++incomplete;
            continue;
        }
        const std::string body = packet.m_body != nullptr ? std::string(packet.m_body, packet.m_nBodySize) : "";
        messages.push_back({packet.m_nChannel, packet.m_nTimeStamp, packet.m_packetType, packet.m_nBodySize,
                            packet.m_nInfoField2, body});
    }
    RTMPPacket_Free(&packet);
    EXPECT_EQ(messages, GetParam().messages);
    EXPECT_EQ(incomplete, GetParam().incomplete_reads);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));  // the end of the input ends the stream
}

INSTANTIATE_TEST_SUITE_P(Sequences, ChunkReadTest, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ChunkStreamTest, ReadWithoutDataTimesOutAndStaysConnected) {
    FakeConnection connection("");
    connection.transport().time_out_when_empty = true;
    RTMPPacket packet;
    EXPECT_EQ(RTMP_ReadPacket(connection.get(), &packet), 0);
    EXPECT_TRUE(RTMP_IsTimedout(connection.get()));
    EXPECT_TRUE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.transport().closes, 0);
}

TEST(ChunkStreamTest, EndOfStreamClosesTheSocketOnce) {
    FakeConnection connection("");
    RTMPPacket packet;
    EXPECT_EQ(RTMP_ReadPacket(connection.get(), &packet), 0);
    EXPECT_EQ(RTMP_ReadPacket(connection.get(), &packet), 0);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.transport().shutdowns, 1);
    EXPECT_EQ(connection.transport().closes, 1);
}

TEST(ChunkStreamTest, FailedSendLogsAndClosesTheConnection) {
    EngineLog log;
    FakeConnection connection("");
    ASSERT_TRUE(connection.connected());
    connection.transport().send_errno = EAGAIN;
    std::vector<char> buffer(RTMP_MAX_HEADER_SIZE + 100);
    RTMPPacket packet;
    packet.m_nChannel = 4;
    packet.m_packetType = RTMP_PACKET_TYPE_AUDIO;
    packet.m_nBodySize = 100;
    packet.m_body = buffer.data() + RTMP_MAX_HEADER_SIZE;
    EXPECT_EQ(RTMP_SendPacket(connection.get(), &packet, 0), 0);
    EXPECT_TRUE(log.HasSubstring("RTMP send error, error = 11, byte left = 112, time start = ")) << log.Dump();
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.transport().closes, 1);
}

TEST(ChunkStreamTest, SendRefusesWhatCannotBeFramed) {
    EngineLog log;
    FakeConnection connection("");
    RTMPPacket packet;
    packet.m_nChannel = 4;
    packet.m_headerType = 4;
    EXPECT_EQ(RTMP_SendPacket(connection.get(), &packet, 0), 0);
    EXPECT_TRUE(log.Has("sanity failed!! trying to send header of type: 0x04.")) << log.Dump();
    packet.m_headerType = 0;
    packet.m_nChannel = 1;
    EXPECT_EQ(RTMP_SendPacket(connection.get(), &packet, 0), 0);
    packet.m_nChannel = 4;
    packet.m_nBodySize = 10;  // a body size without a body
    EXPECT_EQ(RTMP_SendPacket(connection.get(), &packet, 0), 0);
    EXPECT_TRUE(RTMP_IsConnected(connection.get()));  // refused before anything was written
}

TEST(ChunkStreamTest, HandshakeSendsVersionUptimeAndZerosThenEchoesS1) {
    FakeConnection connection("");
    ASSERT_TRUE(connection.connected());
    const std::string& out = connection.transport().output;
    ASSERT_GT(out.size(), 1u + 1536 + 1536);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out.substr(5, 4), std::string(4, '\0'));
    EXPECT_EQ(out.substr(1537, 1536), std::string(1536, '\x01'));  // C2 is S1
}

TEST(ChunkStreamTest, HandshakeWithAnotherVersionFails) {
    EngineLog log;
    FakeTransport transport;
    transport.input = std::string(1, '\x06') + std::string(3072, '\0');
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    RTMP_SetTransport(r, &transport);
    EXPECT_EQ(RTMP_ConnectOnSocket(r, FakeTransport::kFd), 0);
    EXPECT_TRUE(log.Has("RTMP_Connect, handshake failed.")) << log.Dump();
    EXPECT_FALSE(RTMP_IsConnected(r));
    RTMP_Free(r);
}

// The connect command's body from what the engine wrote: after C0, C1 and C2, one message on chunk
// stream 3 whose 128-byte chunks are separated by one-byte type 3 headers.
std::string ConnectBody(const std::string& output) {
    const std::string message = output.substr(1 + 2 * 1536);
    const uint32_t length = static_cast<uint8_t>(message[4]) << 16 | static_cast<uint8_t>(message[5]) << 8 |
                            static_cast<uint8_t>(message[6]);
    std::string body;
    for (size_t pos = 12; body.size() < length; pos += 1 + 128) body += message.substr(pos, std::min<size_t>(128, length - body.size()));
    return body;
}

TEST(ChunkStreamTest, ConnectCommandCarriesThePlayerFieldsWhenNotPublishing) {
    FakeTransport transport;
    transport.input = FakeTransport::ServerHandshake();
    char url[] = "rtmp://127.0.0.1/vod/clip pageUrl=http://p";
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    ASSERT_EQ(RTMP_SetupURL(r, url), 1);
    RTMP_SetTransport(r, &transport);
    ASSERT_EQ(RTMP_ConnectOnSocket(r, FakeTransport::kFd), 1);
    const std::string body = ConnectBody(transport.output);
    AMFObject values;
    ASSERT_EQ(AMF_Decode(&values, body.data(), static_cast<int>(body.size()), 0), static_cast<int>(body.size()));
    AMFObject info;
    AMFProp_GetObject(AMF_GetProp(&values, nullptr, 2), &info);
    const char* names[] = {"app", "tcUrl", "fpad", "capabilities", "audioCodecs", "videoCodecs", "videoFunction",
                           "pageUrl"};
    ASSERT_EQ(AMF_CountProp(&info), static_cast<int>(std::size(names)));
    for (int i = 0; i < AMF_CountProp(&info); ++i) {
        AVal name;
        AMFProp_GetName(AMF_GetProp(&info, nullptr, i), &name);
        EXPECT_EQ(std::string(name.av_val, static_cast<size_t>(name.av_len)), names[i]);
    }
    const AVal audio = AVC("audioCodecs");
    EXPECT_EQ(AMFProp_GetNumber(AMF_GetProp(&info, &audio, -1)), 3191.0);
    RTMP_Free(r);
}

TEST(ChunkStreamTest, InitKeepsOneLockAndDoesNotLeakAnOpenSocket) {
    FakeConnection connection("");
    pthread_mutex_t* lock = connection.get()->m_mutux;
    ASSERT_NE(lock, nullptr);
    RTMP_Init(connection.get());
    EXPECT_EQ(connection.get()->m_mutux, lock);
    EXPECT_EQ(connection.transport().closes, 1);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.get()->close, 0);  // reusable for a new connection
}

}  // namespace
