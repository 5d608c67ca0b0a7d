// The engine against the scripted RTMP server: the exact command sequence, the status flags,
// server commands during and after set-up, chunking of both directions, dropped connections.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "engine_test_util.h"
#include "rtmp_server_peer.h"

namespace {

using enginetest::Connection;
using enginetest::EngineLog;
using enginetest::Hex;
using enginetest::Pattern;
using testsupport::PeerMessage;
using testsupport::RtmpServerPeer;

const std::string kPublishOk = R"({"publish_ok": true})";

std::string Steps(std::initializer_list<std::string> steps) {
    std::string json = "[";
    for (const std::string& step : steps) json += (json.size() > 1 ? "," : "") + step;
    return json + "]";
}

std::string Status(const std::string& code) { return R"({"send": "onStatus", "code": ")" + code + R"("})"; }

// Answers connect and createStream, then sends the given steps instead of a publish confirmation.
std::string UntilPublish(std::initializer_list<std::string> then) {
    std::string json = Steps({R"({"expect": "connect"})", R"({"send": "result", "values": [null, {"code": "NetConnection.Connect.Success"}]})",
                              R"({"expect": "createStream"})", R"({"send": "result", "values": [null, 1]})",
                              R"({"expect": "publish"})"});
    json.pop_back();
    for (const std::string& step : then) json += "," + step;
    return json + "]";
}

TEST(ScriptedPeerTest, PublishSequenceCarriesTheFieldsOfEachCommand) {
    RtmpServerPeer peer(Steps({kPublishOk}));
    ASSERT_TRUE(peer.Start());
    {
        Connection connection(peer.Url("live?token=t1-t2/cam1"));
        ASSERT_TRUE(connection.Publish());
    }
    ASSERT_TRUE(peer.WaitForEnd());
    EXPECT_NE(peer.Record().find("handshake c0=3 "), std::string::npos);
    EXPECT_NE(peer.Record().find(" c1_zero=0 c2_echoes_s1=1"), std::string::npos);
    struct Expected {
        int type, csid, stream;
        std::string fmts, name, args_or_body;
    };
    const std::string tc_url = "rtmp://127.0.0.1:" + std::to_string(peer.port()) + "/live?token=t1-t2";
    const Expected expected[] = {
        {20, 3, 0, "0", "connect", R"([1.0,{"app":"live?token=t1-t2","type":"nonprivate","tcUrl":")" + tc_url + R"("}])"},
        {1, 4, 0, "0", "-", "0000ea60"},
        {20, 3, 0, "1", "releaseStream", R"([2.0,null,"cam1"])"},
        {20, 3, 0, "1", "FCPublish", R"([3.0,null,"cam1"])"},
        {20, 3, 0, "1", "createStream", R"([4.0,null])"},
        {20, 4, 1, "0", "publish", R"([5.0,null,"cam1","live"])"},
        {20, 3, 0, "1", "FCUnpublish", R"([6.0,null,"cam1"])"},
        {20, 3, 0, "1", "deleteStream", R"([7.0,null,1.0])"},
    };
    const std::vector<PeerMessage> messages = peer.Messages();
    ASSERT_EQ(messages.size(), std::size(expected)) << peer.Record();
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(messages[i].type, expected[i].type);
        EXPECT_EQ(messages[i].csid, expected[i].csid);
        EXPECT_EQ(messages[i].stream, expected[i].stream);
        EXPECT_EQ(messages[i].fmts, expected[i].fmts);
        EXPECT_EQ(messages[i].name, expected[i].name);
        EXPECT_EQ(messages[i].type == 20 ? messages[i].args : messages[i].body_hex, expected[i].args_or_body);
    }
}

struct StatusCase {
    const char* name;
    std::string steps;
    int established, play_start, talk_ready;
};

class StatusFlagsTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusFlagsTest, SetUpEndsWithTheFlagsTheServerDrove) {
    RtmpServerPeer peer(GetParam().steps);
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    EXPECT_EQ(connection.Publish(), GetParam().established != 0);
    EXPECT_EQ(connection.get()->m_bPlaying, GetParam().established);
    EXPECT_EQ(connection.get()->m_bOvPlayStart, GetParam().play_start);
    EXPECT_EQ(connection.get()->m_bOvTalkReady, GetParam().talk_ready);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StatusFlagsTest,
    ::testing::Values(
        StatusCase{"PublishStart", UntilPublish({Status("NetStream.Publish.Start")}), 1, 0, 0},
        StatusCase{"PlayStart", UntilPublish({Status("NetStream.Play.Start")}), 1, 1, 0},
        StatusCase{"PublishNotify", UntilPublish({Status("NetStream.Play.PublishNotify")}), 1, 0, 0},
        StatusCase{"TalkReadyThenStart",
                   UntilPublish({Status("NetStream.TalkReady"), Status("NetStream.Publish.Start")}), 1, 0, 1},
        StatusCase{"PublishResult", UntilPublish({R"({"send": "result"})"}), 1, 0, 0},
        StatusCase{"Failed", UntilPublish({Status("NetStream.Failed")}), 0, 0, 0},
        StatusCase{"InvalidApp", UntilPublish({Status("NetConnection.Connect.InvalidApp")}), 0, 0, 0},
        StatusCase{"PlayStop", UntilPublish({Status("NetStream.Play.Stop")}), 0, 0, 0},
        StatusCase{"ServerClose", UntilPublish({R"({"send": "command", "name": "close"})"}), 0, 0, 0},
        StatusCase{"NoStreamId", Steps({R"({"expect": "connect"})", R"({"send": "result"})",
                                        R"({"expect": "createStream"})", R"({"send": "result", "values": [null, "x"]})"}),
                   0, 0, 0}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST(ScriptedPeerTest, FailureCodeClosesAndLogsIt) {
    EngineLog log;
    RtmpServerPeer peer(UntilPublish({Status("NetStream.Failed")}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    EXPECT_FALSE(connection.Publish());
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.get()->m_stream_id, -1);
    EXPECT_TRUE(log.Has("Closing connection: NetStream.Failed")) << log.Dump();
    ASSERT_TRUE(peer.WaitForEnd());
    EXPECT_TRUE(peer.Commands("deleteStream").empty());  // the stream id was given up first
}

TEST(ScriptedPeerTest, ServerCommandsAfterSetUpAreOnlyHandedUp) {
    RtmpServerPeer peer(Steps({kPublishOk, Status("NetStream.TalkReady"), R"({"send": "chunk_size", "value": 4096})",
                               R"({"send": "ping_request", "timestamp": 77})", Status("NetStream.Failed")}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    std::vector<int> types;
    RTMPPacket packet;
    while (types.size() < 4 && RTMP_ReadPacket(connection.get(), &packet)) {
        if (RTMPPacket_IsReady(&packet)) types.push_back(packet.m_packetType);
    }
    RTMPPacket_Free(&packet);
    EXPECT_EQ(types, (std::vector<int>{RTMP_PACKET_TYPE_INVOKE, RTMP_PACKET_TYPE_CHUNK_SIZE, RTMP_PACKET_TYPE_CONTROL,
                                       RTMP_PACKET_TYPE_INVOKE}));
    EXPECT_EQ(connection.get()->m_bOvTalkReady, 0);
    EXPECT_EQ(connection.get()->m_inChunkSize, RTMP_DEFAULT_CHUNKSIZE);
    EXPECT_TRUE(RTMP_IsConnected(connection.get()));
    RTMP_Close(connection.get());
    ASSERT_TRUE(peer.WaitForEnd());
    for (const PeerMessage& m : peer.Messages()) EXPECT_NE(m.type, RTMP_PACKET_TYPE_CONTROL) << "no ping response";
}

TEST(ScriptedPeerTest, SetUpAnswersPingsAndFollowsTheServersChunkSize) {
    const std::string long_description(700, 'd');
    RtmpServerPeer peer(UntilPublish({R"({"send": "ping_request", "timestamp": 4660})",
                                      R"({"send": "chunk_size", "value": 50})",
                                      R"({"send": "onStatus", "code": "NetStream.Publish.Start", "description": ")" +
                                          long_description + R"("})"}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    EXPECT_EQ(connection.get()->m_inChunkSize, 50);
    RTMP_Close(connection.get());
    ASSERT_TRUE(peer.WaitForEnd());
    bool answered = false;
    for (const PeerMessage& m : peer.Messages()) answered |= m.type == 4 && m.csid == 2 && m.body_hex == "000700001234";
    EXPECT_TRUE(answered) << peer.Record();
}

TEST(ScriptedPeerTest, LargeMessagesGoAsChunksAndHeadersCompressPerChunkStream) {
    RtmpServerPeer peer(Steps({kPublishOk, R"({"drain": true})"}));
    ASSERT_TRUE(peer.Start());
    const std::vector<char> large = Pattern(150000, 7);
    const std::vector<char> small = Pattern(300, 9);
    {
        Connection connection(peer.Url("live/cam1"));
        ASSERT_TRUE(connection.Publish());
        ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_VIDEO, 40, large));
        ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_VIDEO, 0x1000000, large));  // extended timestamp
        for (uint32_t ts : {100u, 120u, 140u, 150u}) {
            ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, ts, small, RTMP_PACKET_SIZE_MEDIUM, 6));
        }
        ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, 10, small, RTMP_PACKET_SIZE_MEDIUM, 6));  // backwards
        ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, 30, small, RTMP_PACKET_SIZE_MEDIUM, 320));
    }
    ASSERT_TRUE(peer.WaitForEnd());
    std::vector<PeerMessage> media;
    for (const PeerMessage& m : peer.Messages()) {
        if (m.type == RTMP_PACKET_TYPE_VIDEO || m.type == RTMP_PACKET_TYPE_AUDIO) media.push_back(m);
    }
    struct Expected {
        uint32_t ts;
        std::string fmts;
        int csid;
    };
    const Expected expected[] = {{40, "0,3,3", 4}, {0x1000000, "0,3,3", 4}, {100, "0", 6}, {120, "2", 6},
                                 {140, "3", 6},    {150, "2", 6},           {10, "0", 6},  {30, "0", 320}};
    ASSERT_EQ(media.size(), std::size(expected)) << peer.Record();
    for (size_t i = 0; i < media.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(media[i].ts, expected[i].ts);
        EXPECT_EQ(media[i].fmts, expected[i].fmts);
        EXPECT_EQ(media[i].csid, expected[i].csid);
        EXPECT_EQ(media[i].stream, 1);
        EXPECT_EQ(media[i].body_hex, Hex(i < 2 ? large : small));
    }
}

TEST(ScriptedPeerTest, ReaderAcknowledgesWhatItReceived) {
    RtmpServerPeer peer(Steps({kPublishOk, R"({"send": "peer_bandwidth", "value": 1000})",
                               R"({"send": "message", "type": 9, "size": 3000})", R"({"expect_type": 3})"}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    connection.get()->m_nClientBW = 1000;  // what the engine would take from the message during set-up
    RTMPPacket packet;
    int complete = 0;
    while (complete < 2 && RTMP_ReadPacket(connection.get(), &packet)) complete += RTMPPacket_IsReady(&packet);
    RTMPPacket_Free(&packet);
    RTMP_Close(connection.get());
    ASSERT_TRUE(peer.WaitForEnd());
    bool acknowledged = false;
    for (const PeerMessage& m : peer.Messages()) acknowledged |= m.type == 3 && m.csid == 2 && m.len == 4;
    EXPECT_TRUE(acknowledged) << peer.Record();
}

struct DropCase {
    const char* name;
    std::string steps;
};

class DroppedConnectionTest : public ::testing::TestWithParam<DropCase> {};

TEST_P(DroppedConnectionTest, SetUpFailsAndLeavesTheStateClosed) {
    RtmpServerPeer peer(GetParam().steps);
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    EXPECT_FALSE(connection.Publish());
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.get()->m_bPlaying, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Points, DroppedConnectionTest,
    ::testing::Values(DropCase{"AfterHandshake", Steps({R"({"drop": true})"})},
                      DropCase{"AfterConnect", Steps({R"({"expect": "connect"})", R"({"drop": true})"})},
                      DropCase{"AfterCreateStream", UntilPublish({R"({"drop": true})"})},
                      DropCase{"InTheMiddleOfAChunk",
                               UntilPublish({R"({"send": "raw", "hex": "050000000000401400000001"})",
                                             R"({"send": "raw", "hex": "0200"})", R"({"drop": true})"})}),
    [](const ::testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

TEST(ScriptedPeerTest, HandshakeAcceptsAnS2ThatDoesNotEchoC1) {
    RtmpServerPeer peer(Steps({kPublishOk}), "random");
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    EXPECT_TRUE(connection.Publish());
}

TEST(ScriptedPeerTest, MalformedMessagesAfterSetUpFailReadsWithoutHarm) {
    // A message with a bad AMF0 body, an abort, a chunk stream without a previous header, then garbage.
    RtmpServerPeer peer(Steps({kPublishOk, R"({"send": "message", "type": 20, "hex": "02ffff41"})",
                               R"({"send": "abort", "csid_aborted": 9})", R"({"send": "raw", "hex": "c9"})",
                               R"({"send": "raw", "hex": "3fffffffffffff"})", R"({"drop": true})"}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    RTMPPacket packet;
    int reads = 0;
    while (RTMP_ReadPacket(connection.get(), &packet) && reads < 1000) ++reads;
    RTMPPacket_Free(&packet);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
}

TEST(ScriptedPeerTest, ReadWithoutDataTimesOutAndKeepsTheConnection) {
    RtmpServerPeer peer(Steps({kPublishOk, R"({"hold": true})"}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1 timeout=1"));
    ASSERT_TRUE(connection.Publish());
    EXPECT_EQ(connection.get()->Link.timeout, 1);
    RTMPPacket packet;
    EXPECT_EQ(RTMP_ReadPacket(connection.get(), &packet), 0);
    EXPECT_TRUE(RTMP_IsTimedout(connection.get()));
    EXPECT_TRUE(RTMP_IsConnected(connection.get()));
}

TEST(ScriptedPeerTest, SendToAPeerThatStopsReadingFailsAfterTheSendTimeOut) {
    EngineLog log;
    RtmpServerPeer peer(Steps({kPublishOk, R"({"hold": true})"}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    const std::vector<char> body = Pattern(60000, 5);
    bool failed = false;
    for (uint32_t i = 0; i < 2000 && !failed; ++i) failed = !connection.Send(RTMP_PACKET_TYPE_VIDEO, i * 40, body);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_TRUE(log.HasSubstring("RTMP send error, error = 11, byte left = ")) << log.Dump();
    EXPECT_TRUE(log.HasSubstring(", time start = ")) << log.Dump();
}

TEST(ScriptedPeerTest, ClosingTwiceFromTwoThreadsTearsDownOnce) {
    RtmpServerPeer peer(Steps({kPublishOk}));
    ASSERT_TRUE(peer.Start());
    Connection connection(peer.Url("live/cam1"));
    ASSERT_TRUE(connection.Publish());
    std::thread other([&] { RTMP_Close(connection.get()); });
    RTMP_Close(connection.get());
    other.join();
    RTMP_Close(connection.get());
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    ASSERT_TRUE(peer.WaitForEnd());
    EXPECT_EQ(peer.Commands("deleteStream").size(), 1u);
    EXPECT_EQ(peer.Commands("FCUnpublish").size(), 1u);
}

}  // namespace
