// MQTT 3.1.1 packet coding, checked against byte sequences written out from the standard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "infra/mqtt/packets/connack.h"
#include "infra/mqtt/packets/connect.h"
#include "infra/mqtt/packets/control_packet.h"
#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/packets/inbound_message.h"
#include "infra/mqtt/packets/packet_id_ack.h"
#include "infra/mqtt/packets/publish.h"
#include "infra/mqtt/packets/suback.h"
#include "infra/mqtt/packets/subscribe.h"

namespace tessera::mqtt {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct RemainingLengthCase {
    size_t length;
    Bytes encoded;
};

TEST(FixedHeader, RemainingLengthBoundaries) {
    // Section 2.2.3, table 2.4.
    const RemainingLengthCase cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x80, 0x01}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x80, 0x80, 0x01}},
        {2097151, {0xFF, 0xFF, 0x7F}},
        {2097152, {0x80, 0x80, 0x80, 0x01}},
        {268435455, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(RemainingLengthSize(c.length), c.encoded.size());
        uint8_t buffer[kMaxFixedHeaderSize];
        WireWriter writer(buffer, sizeof(buffer));
        WriteFixedHeader(writer, PacketType::kPublish, 0, c.length);
        ASSERT_TRUE(writer.ok());
        EXPECT_EQ(Bytes(buffer + 1, buffer + writer.size()), c.encoded);
        FixedHeader header{};
        ASSERT_EQ(DecodeFixedHeader(buffer, writer.size(), &header), DecodeStatus::kOk);
        EXPECT_EQ(header.remaining_length, c.length);
        EXPECT_EQ(header.header_size, 1 + c.encoded.size());
    }
    EXPECT_EQ(RemainingLengthSize(268435456), 0u);
    EXPECT_EQ(PacketSize(268435456), 0u);
}

struct HeaderDecodeCase {
    const char* name;
    Bytes bytes;
    DecodeStatus status;
};

TEST(FixedHeader, DecodeRefusesWhatTheStandardForbids) {
    const HeaderDecodeCase cases[] = {
        {"one byte only", {0x30}, DecodeStatus::kNeedMore},
        {"length continues past the data", {0x30, 0x80}, DecodeStatus::kNeedMore},
        {"five length bytes", {0x30, 0x80, 0x80, 0x80, 0x80, 0x01}, DecodeStatus::kMalformed},
        {"type 0", {0x00, 0x00}, DecodeStatus::kMalformed},
        {"type 15", {0xF0, 0x00}, DecodeStatus::kMalformed},
        {"publish with QoS 3", {0x36, 0x00}, DecodeStatus::kMalformed},
        {"PUBACK with flags", {0x41, 0x02}, DecodeStatus::kMalformed},
        {"SUBSCRIBE without its 0010 flags", {0x80, 0x02}, DecodeStatus::kMalformed},
        {"PINGRESP", {0xD0, 0x00}, DecodeStatus::kOk},
        {"PUBLISH dup QoS 1 retain", {0x3B, 0x05}, DecodeStatus::kOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixedHeader header{};
        EXPECT_EQ(DecodeFixedHeader(c.bytes.data(), c.bytes.size(), &header), c.status);
    }
}

TEST(Connect, SerializesAllFieldsInOrder) {
    ConnectPacket connect;
    connect.client_id = "c";
    connect.username = "u";
    connect.password = "p";
    connect.keepalive_s = 60;
    const Bytes expected = Concat({{0x10, 19, 0x00, 0x04}, Text("MQTT"), {0x04, 0xC0, 0x00, 0x3C},
                                   {0x00, 0x01}, Text("c"), {0x00, 0x01}, Text("u"), {0x00, 0x01}, Text("p")});
    ASSERT_EQ(ConnectPacketSize(connect), expected.size());
    Bytes buffer(expected.size());
    ASSERT_EQ(SerializeConnect(connect, buffer.data(), buffer.size()), expected.size());
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(SerializeConnect(connect, buffer.data(), buffer.size() - 1), 0u);
}

TEST(Connect, FlagsFollowTheFieldsPresent) {
    struct Case {
        const char* username;
        const char* password;
        bool clean;
        uint8_t flags;
    };
    const Case cases[] = {{"", "", false, 0x00}, {"", "", true, 0x02}, {"u", "", false, 0x80}, {"u", "p", true, 0xC2}};
    for (const auto& c : cases) {
        ConnectPacket connect;
        connect.client_id = "id";
        connect.username = c.username;
        connect.password = c.password;
        connect.clean_session = c.clean;
        Bytes buffer(ConnectPacketSize(connect));
        ASSERT_GT(SerializeConnect(connect, buffer.data(), buffer.size()), 0u);
        EXPECT_EQ(buffer[9], c.flags) << c.username << "/" << c.password << "/" << c.clean;
    }
}

TEST(Connect, LongCredentialsUseTwoLengthBytes) {
    std::string client_id(300, 'x');
    ConnectPacket connect;
    connect.client_id = client_id;
    Bytes buffer(ConnectPacketSize(connect));
    ASSERT_EQ(buffer.size(), 1 + 2 + 10 + 2 + 300u);
    ASSERT_EQ(SerializeConnect(connect, buffer.data(), buffer.size()), buffer.size());
    EXPECT_EQ(Bytes(buffer.begin() + 1, buffer.begin() + 3), (Bytes{0xB8, 0x02}));  // 312
}

TEST(Connack, ParsesAndRefusesReservedBits) {
    struct Case {
        Bytes body;
        bool ok;
        bool session_present;
        uint8_t code;
    };
    const Case cases[] = {
        {{0x00, 0x00}, true, false, 0}, {{0x01, 0x00}, true, true, 0}, {{0x00, 0x05}, true, false, 5},
        {{0x02, 0x00}, false, false, 0}, {{0x00}, false, false, 0},    {{0x00, 0x00, 0x00}, false, false, 0},
    };
    for (const auto& c : cases) {
        FixedHeader header{PacketType::kConnack, 0, c.body.size(), 2};
        ConnackPacket connack;
        ASSERT_EQ(ParseConnack(header, c.body.data(), &connack), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(connack.session_present, c.session_present);
        EXPECT_EQ(connack.return_code, c.code);
    }
}

TEST(Publish, SerializesQos0AndQos1) {
    const std::string payload = "hi";
    PublishPacket packet;
    packet.topic = "/a";
    packet.payload = reinterpret_cast<const uint8_t*>(payload.data());
    packet.payload_len = payload.size();
    Bytes buffer(16);
    ASSERT_EQ(SerializePublish(packet, buffer.data(), buffer.size()), 8u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8), Concat({{0x30, 6, 0x00, 0x02}, Text("/a"), Text("hi")}));

    packet.qos = 1;
    packet.retain = true;
    packet.packet_id = 0x1234;
    ASSERT_EQ(SerializePublish(packet, buffer.data(), buffer.size()), 10u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10),
              Concat({{0x33, 8, 0x00, 0x02}, Text("/a"), {0x12, 0x34}, Text("hi")}));
    EXPECT_EQ(SerializePublish(packet, buffer.data(), 9), 0u);
}

TEST(Publish, ParsesWhatItSerializes) {
    const std::string payload(300, 'p');
    PublishPacket packet;
    packet.topic = "/sys/pk/dn/thing/service/property/set";
    packet.qos = 1;
    packet.dup = true;
    packet.packet_id = 7;
    packet.payload = reinterpret_cast<const uint8_t*>(payload.data());
    packet.payload_len = payload.size();
    Bytes buffer(PublishPacketSize(packet));
    ASSERT_EQ(SerializePublish(packet, buffer.data(), buffer.size()), buffer.size());

    FixedHeader header{};
    ASSERT_EQ(DecodeFixedHeader(buffer.data(), buffer.size(), &header), DecodeStatus::kOk);
    PublishPacket parsed;
    ASSERT_TRUE(ParsePublish(header, buffer.data() + header.header_size, &parsed));
    EXPECT_EQ(parsed.topic, packet.topic);
    EXPECT_EQ(parsed.qos, 1);
    EXPECT_TRUE(parsed.dup);
    EXPECT_FALSE(parsed.retain);
    EXPECT_EQ(parsed.packet_id, 7);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(parsed.payload), parsed.payload_len), payload);
}

TEST(Publish, ParseRefusesBrokenBodies) {
    struct Case {
        const char* name;
        uint8_t flags;
        Bytes body;
    };
    const Case cases[] = {
        {"topic length beyond the body", 0x00, {0x00, 0x05, '/', 'a'}},
        {"empty topic", 0x00, {0x00, 0x00, 'x'}},
        {"QoS 1 without packet id", 0x02, {0x00, 0x02, '/', 'a', 0x00}},
        {"QoS 1 with packet id 0", 0x02, {0x00, 0x02, '/', 'a', 0x00, 0x00}},
        {"no topic length", 0x00, {0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixedHeader header{PacketType::kPublish, c.flags, c.body.size(), 2};
        PublishPacket parsed;
        EXPECT_FALSE(ParsePublish(header, c.body.data(), &parsed));
    }
}

TEST(Subscribe, SerializesOneFilter) {
    Bytes buffer(32);
    ASSERT_EQ(SerializeSubscribe(10, "/a/+", 1, buffer.data(), buffer.size()), 11u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 11), Concat({{0x82, 9, 0x00, 0x0A, 0x00, 0x04}, Text("/a/+"), {0x01}}));
    ASSERT_EQ(SerializeUnsubscribe(11, "/a/+", buffer.data(), buffer.size()), 10u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10), Concat({{0xA2, 8, 0x00, 0x0B, 0x00, 0x04}, Text("/a/+")}));
    EXPECT_EQ(SerializeSubscribe(0, "/a", 0, buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(SerializeSubscribe(1, "/a", 3, buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(SerializeSubscribe(1, "", 0, buffer.data(), buffer.size()), 0u);
}

TEST(Suback, ParsesReturnCodes) {
    struct Case {
        Bytes body;
        bool ok;
        uint8_t first_code;
    };
    const Case cases[] = {
        {{0x00, 0x01, 0x00}, true, 0x00},       {{0x00, 0x01, 0x80}, true, 0x80},
        {{0x00, 0x01, 0x01, 0x02}, true, 0x01}, {{0x00, 0x01, 0x03}, false, 0},
        {{0x00, 0x01}, false, 0},               {{0x00, 0x00, 0x00}, false, 0},
    };
    for (const auto& c : cases) {
        FixedHeader header{PacketType::kSuback, 0, c.body.size(), 2};
        SubackPacket suback;
        ASSERT_EQ(ParseSuback(header, c.body.data(), &suback), c.ok);
        if (c.ok) {
            EXPECT_EQ(suback.first_return_code, c.first_code);
        }
    }
}

TEST(SmallPackets, SerializeToTheirFixedBytes) {
    uint8_t buffer[4];
    ASSERT_EQ(SerializeControlPacket(PacketType::kPingreq, buffer, sizeof(buffer)), 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{0xC0, 0x00}));
    ASSERT_EQ(SerializeControlPacket(PacketType::kDisconnect, buffer, sizeof(buffer)), 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{0xE0, 0x00}));
    ASSERT_EQ(SerializePacketIdAck(PacketType::kPuback, 0xBEEF, buffer, sizeof(buffer)), 4u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0x40, 0x02, 0xBE, 0xEF}));
    EXPECT_EQ(SerializePacketIdAck(PacketType::kPuback, 1, buffer, 3), 0u);
}

TEST(Inbound, AcceptsOnlyWhatABrokerSendsToAClient) {
    struct Case {
        const char* name;
        Bytes packet;
        bool ok;
    };
    const Case cases[] = {
        {"PINGRESP", {0xD0, 0x00}, true},
        {"PINGRESP with a body", {0xD0, 0x01, 0x00}, false},
        {"PUBACK", {0x40, 0x02, 0x00, 0x01}, true},
        {"UNSUBACK", {0xB0, 0x02, 0x00, 0x01}, true},
        {"PUBACK id 0", {0x40, 0x02, 0x00, 0x00}, false},
        {"PUBACK too long", {0x40, 0x03, 0x00, 0x01, 0x00}, false},
        {"CONNECT", {0x10, 0x00}, false},
        {"SUBSCRIBE", {0x82, 0x00}, false},
        {"PINGREQ", {0xC0, 0x00}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixedHeader header{};
        ASSERT_EQ(DecodeFixedHeader(c.packet.data(), c.packet.size(), &header), DecodeStatus::kOk);
        InboundMessage message;
        EXPECT_EQ(DecodeInbound(header, c.packet.data() + header.header_size, &message), c.ok);
    }
}

}  // namespace
}  // namespace tessera::mqtt
