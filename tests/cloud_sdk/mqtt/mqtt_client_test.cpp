// The client's timers and lists, driven by a fake clock and a scripted server.
#include "infra/mqtt/mqtt_client.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_platform.h"
#include "infra/mqtt/packets/fixed_header.h"
#include "sdk_log_capture.h"

namespace tessera::mqtt {
namespace {

using testing::Bytes;
using testing::FakePlatform;
using testing::FakeWire;
using testing::PublishBytes;

struct EventLog {
    std::vector<int> events;
    std::vector<uintptr_t> ids;
    std::vector<std::string> topics;  // of received publishes

    static void Handle(void* context, void*, zenq_mqtt_event_msg_t* msg) {
        auto* self = static_cast<EventLog*>(context);
        self->events.push_back(msg->event_type);
        if (msg->event_type == ZENQ_MQTT_EVENT_PUBLISH_RECEIVED) {
            auto* info = static_cast<zenq_mqtt_topic_info_t*>(msg->msg);
            self->topics.emplace_back(info->ptopic, info->topic_len);
        } else {
            self->ids.push_back(reinterpret_cast<uintptr_t>(msg->msg));
        }
    }
    int Count(int event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }
};

PacketType TypeOf(const Bytes& packet) { return static_cast<PacketType>(packet[0] >> 4); }

int CountOf(const FakeWire& wire, PacketType type) {
    int count = 0;
    for (const Bytes& packet : wire.WrittenPackets()) count += TypeOf(packet) == type ? 1 : 0;
    return count;
}

class MqttClientTest : public ::testing::Test {
protected:
    MqttClientTest() {
        params_.endpoint = Endpoint{"localhost", 8883, "ca"};
        params_.client_id = "client";
        params_.username = "user";
        params_.password = "pass";
        params_.keepalive_ms = 60000;
        params_.read_buf_size = 1024;
        params_.write_buf_size = 1024;
        params_.event_handler = &EventLog::Handle;
        params_.event_context = &events_;
    }

    std::shared_ptr<FakeWire> ConnectClient() {
        auto wire = platform_.AcceptNextConnect();
        client_ = std::make_unique<MqttClient>(params_, platform_);
        EXPECT_EQ(client_->Connect(), 0);
        return wire;
    }

    zenq_mqtt_topic_info_t Message(uint8_t qos) {
        zenq_mqtt_topic_info_t message{};
        message.qos = qos;
        message.payload = "{}";
        message.payload_len = 2;
        return message;
    }

    tessera::testing::SdkLogCapture log_;
    FakePlatform platform_;
    ClientParams params_;
    EventLog events_;
    std::unique_ptr<MqttClient> client_;
};

TEST_F(MqttClientTest, ConnectSendsTheCredentialsAndWaitsForConnack) {
    auto wire = ConnectClient();
    EXPECT_TRUE(client_->IsConnected());
    auto packets = wire->WrittenPackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(TypeOf(packets[0]), PacketType::kConnect);
    EXPECT_EQ(packets[0][10], 0x00);  // keep-alive 60 s
    EXPECT_EQ(packets[0][11], 60);
    EXPECT_EQ(log_.Count("mqtt connect success!"), 1);
}

TEST_F(MqttClientTest, RefusedOrMissingConnackFailsTheConnect) {
    struct Case {
        const char* name;
        Bytes reply;
    };
    const Case cases[] = {
        {"refused", testing::ConnackBytes(false, 5)},
        {"silent", {}},
        {"another packet first", {0xD0, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto wire = std::make_shared<FakeWire>();
        if (!c.reply.empty()) wire->Send(c.reply);
        auto accepted = platform_.AcceptNextConnect();
        *accepted = *wire;
        MqttClient client(params_, platform_);
        EXPECT_EQ(client.Connect(), -1);
        EXPECT_FALSE(client.IsConnected());
    }
    EXPECT_EQ(log_.Count("wait connect ACK timeout, or receive a ACK indicating error!"), 3);
}

TEST_F(MqttClientTest, ParametersAreClamped) {
    struct Case {
        uint32_t keepalive_ms;
        uint32_t request_timeout_ms;
        uint32_t expected_keepalive_ms;
        uint32_t expected_request_timeout_ms;
    };
    const Case cases[] = {
        {10000, 100, 30000, 2000}, {300000, 5001, 120000, 2000}, {45500, 500, 45000, 500}, {60000, 5000, 60000, 5000},
    };
    for (const auto& c : cases) {
        params_.keepalive_ms = c.keepalive_ms;
        params_.request_timeout_ms = c.request_timeout_ms;
        ClientParams normalized = NormalizeParams(params_);
        EXPECT_EQ(normalized.keepalive_ms, c.expected_keepalive_ms) << c.keepalive_ms;
        EXPECT_EQ(normalized.request_timeout_ms, c.expected_request_timeout_ms) << c.request_timeout_ms;
    }
    EXPECT_EQ(log_.Count("Input heartbeat interval(10000 ms) < Allowed minimum(30000 ms)"), 1);
    EXPECT_EQ(log_.Count("Input heartbeat interval(300000 ms) > Allowed maximum(120000 ms)"), 1);
    EXPECT_EQ(log_.Count("Reset heartbeat interval => 120000 Millisecond"), 1);
}

TEST_F(MqttClientTest, AnsweredPingsKeepTheConnection) {
    auto wire = ConnectClient();
    for (int i = 0; i < 5; ++i) {
        client_->Yield(60100);
        wire->Send({0xD0, 0x00});
    }
    client_->Yield(10);
    EXPECT_TRUE(client_->IsConnected());
    EXPECT_EQ(CountOf(*wire, PacketType::kPingreq), 5);
    EXPECT_EQ(log_.Count("receive ping response!"), 5);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_DISCONNECT), 0);
}

TEST_F(MqttClientTest, SecondUnansweredPingDisconnects) {
    auto wire = ConnectClient();
    client_->Yield(59000);
    EXPECT_EQ(CountOf(*wire, PacketType::kPingreq), 0);
    client_->Yield(2000);
    EXPECT_EQ(CountOf(*wire, PacketType::kPingreq), 1);
    EXPECT_TRUE(client_->IsConnected());
    client_->Yield(60000);
    EXPECT_EQ(CountOf(*wire, PacketType::kPingreq), 2);
    EXPECT_EQ(log_.Count("keepalive_probes more than 1, disconnected\n"), 1);
    EXPECT_EQ(log_.Count("network is disconnected!"), 1);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_DISCONNECT), 1);
    EXPECT_EQ(client_->state(), ClientState::kReconnecting);
}

struct BackoffCase {
    bool random_max;
    std::vector<uint64_t> waits;
};

TEST_F(MqttClientTest, ReconnectWaitsDoubleWithJitterUpToSixtySeconds) {
    const BackoffCase cases[] = {
        {false, {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000}},
        {true, {1000, 3999, 7999, 15999, 31999, 60000, 60000, 60000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.random_max);
        platform_ = FakePlatform();
        platform_.set_random_max(c.random_max);
        auto wire = ConnectClient();
        wire->closed = true;
        platform_.RefuseNextConnects(static_cast<int>(c.waits.size()) - 1);
        client_->Yield(10);  // the read fails: disconnected, then reconnecting
        auto next = platform_.AcceptNextConnect();
        client_->Yield(300000);
        ASSERT_TRUE(client_->IsConnected());
        const auto& times = platform_.connect_times();
        ASSERT_EQ(times.size(), c.waits.size() + 1);  // the first connect, then the attempts
        std::vector<uint64_t> waits;
        for (size_t i = 2; i < times.size(); ++i) waits.push_back(times[i] - times[i - 1]);
        std::vector<uint64_t> expected(c.waits.begin() + 1, c.waits.end());
        EXPECT_EQ(waits, expected);
        EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_RECONNECT), 1);
        events_ = EventLog();
    }
}

TEST_F(MqttClientTest, ReconnectRenewsSubscriptionsTheBrokerLost) {
    auto wire = ConnectClient();
    EventLog topic_log;
    ASSERT_GT(client_->Subscribe("/sys/pk/dn/thing/service/+", 0, &EventLog::Handle, &topic_log), 0);
    wire->Send({0x90, 0x03, 0x00, 0x01, 0x00});
    client_->Yield(20);
    wire->closed = true;
    auto fresh = platform_.AcceptNextConnect(false);
    client_->Yield(1500);
    ASSERT_TRUE(client_->IsConnected());
    EXPECT_EQ(CountOf(*fresh, PacketType::kSubscribe), 1);

    // A broker that kept the session needs no new SUBSCRIBE for an acknowledged filter.
    fresh->Send({0x90, 0x03, 0x00, 0x02, 0x00});
    client_->Yield(20);
    fresh->closed = true;
    auto kept = platform_.AcceptNextConnect(true);
    client_->Yield(1500);
    ASSERT_TRUE(client_->IsConnected());
    EXPECT_EQ(CountOf(*kept, PacketType::kSubscribe), 0);
    kept->Send(PublishBytes("/sys/pk/dn/thing/service/StartVod", "{}", 0, 0));
    client_->Yield(20);
    EXPECT_EQ(topic_log.topics, std::vector<std::string>{"/sys/pk/dn/thing/service/StartVod"});
}

TEST_F(MqttClientTest, UnacknowledgedQos1PublishIsResentWithDup) {
    auto wire = ConnectClient();
    int id = client_->Publish("/sys/pk/dn/thing/event/property/post", Message(1));
    ASSERT_EQ(id, 1);
    client_->Yield(3900);
    EXPECT_EQ(CountOf(*wire, PacketType::kPublish), 1);
    client_->Yield(200);  // past twice the request time-out
    auto packets = wire->WrittenPackets();
    ASSERT_EQ(CountOf(*wire, PacketType::kPublish), 2);
    EXPECT_EQ(packets.back()[0], 0x3A);  // PUBLISH, DUP, QoS 1
    wire->Send({0x40, 0x02, 0x00, 0x01});
    client_->Yield(20);
    EXPECT_EQ(client_->waiting_publishes(), 0u);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_PUBLISH_SUCCESS), 1);
    client_->Yield(10000);
    EXPECT_EQ(CountOf(*wire, PacketType::kPublish), 2);
}

TEST_F(MqttClientTest, PublishRefusals) {
    auto wire = ConnectClient();
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(client_->Publish("/a", Message(1)), i);
    EXPECT_EQ(client_->Publish("/a", Message(1)), -1);
    EXPECT_EQ(log_.Count("more than 20 elements in republish list. List overflow!"), 1);
    EXPECT_EQ(client_->Publish("/a", Message(0)), 0);

    struct Case {
        const char* topic;
        uint8_t qos;
        size_t payload_len;
    };
    const Case refused[] = {{"/a", 2, 2}, {"/a/+", 0, 2}, {"a", 0, 2}, {"/a", 0, 1020}};
    std::string big(1020, 'x');
    for (const auto& c : refused) {
        zenq_mqtt_topic_info_t message = Message(c.qos);
        message.payload = big.c_str();
        message.payload_len = static_cast<uint32_t>(c.payload_len);
        EXPECT_EQ(client_->Publish(c.topic, message), -1) << c.topic << " " << int(c.qos);
    }
    EXPECT_EQ(log_.Count("MQTTPublish return error,MQTT_QOS2 is now not supported."), 1);
    EXPECT_EQ(log_.Count("topic format is error,topicFilter = /a/+"), 1);
}

TEST_F(MqttClientTest, FailedSendIsReportedAndNotResentLater) {
    auto wire = ConnectClient();
    wire->fail_writes = true;
    EXPECT_EQ(client_->Publish("/a", Message(1)), -1);
    EXPECT_EQ(client_->waiting_publishes(), 0u);
    EXPECT_EQ(client_->state(), ClientState::kDisconnected);
    EXPECT_EQ(client_->Publish("/a", Message(0)), -1);
    EXPECT_EQ(log_.Count("mqtt client state is error,state = 3"), 1);
}

TEST_F(MqttClientTest, PacketIdsWrapFrom65535ToOne) {
    auto wire = ConnectClient();
    int last = 0;
    for (int i = 0; i < 65535; ++i) {
        last = client_->Publish("/a", Message(1));
        wire->Send({0x40, 0x02, static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last & 0xFF)});
        client_->Yield(0);
    }
    EXPECT_EQ(last, 65535);
    EXPECT_EQ(client_->Publish("/a", Message(1)), 1);
}

TEST_F(MqttClientTest, InboundPublishReachesTheFirstMatchingHandlerAndIsAcknowledged) {
    auto wire = ConnectClient();
    EventLog service_log;
    EventLog all_log;
    ASSERT_GT(client_->Subscribe("/sys/pk/dn/thing/service/+", 0, &EventLog::Handle, &service_log), 0);
    ASSERT_GT(client_->Subscribe("/sys/pk/dn/#", 0, &EventLog::Handle, &all_log), 0);
    EXPECT_EQ(client_->Subscribe("/sys/pk/dn/#", 0, &EventLog::Handle, &all_log), 0);
    EXPECT_EQ(log_.Count("dup sub,topic = /sys/pk/dn/#"), 1);
    wire->Send(PublishBytes("/sys/pk/dn/thing/service/StartVod", "{}", 1, 77));
    wire->Send(PublishBytes("/sys/pk/dn/rrpc/request/1", "{}", 0, 0));
    wire->Send(PublishBytes("/other/topic", "{}", 0, 0));
    client_->Yield(50);
    EXPECT_EQ(service_log.topics, std::vector<std::string>{"/sys/pk/dn/thing/service/StartVod"});
    EXPECT_EQ(all_log.topics, std::vector<std::string>{"/sys/pk/dn/rrpc/request/1"});
    EXPECT_EQ(events_.topics, std::vector<std::string>{"/other/topic"});  // the default handler
    auto packets = wire->WrittenPackets();
    EXPECT_EQ(packets.back(), (Bytes{0x40, 0x02, 0x00, 77}));
}

TEST_F(MqttClientTest, OversizedInboundPacketIsDroppedAndTheConnectionStays) {
    auto wire = ConnectClient();
    wire->Send(PublishBytes("/big", std::string(2000, 'b'), 0, 0));
    wire->Send(PublishBytes("/small", "{}", 0, 0));
    client_->Yield(50);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_BUFFER_OVERFLOW), 1);
    EXPECT_EQ(events_.topics, std::vector<std::string>{"/small"});
    EXPECT_TRUE(client_->IsConnected());
    EXPECT_EQ(log_.Count("mqtt read buffer is too short, mqttReadBufLen : 1024, remainDataLen : 2009"), 1);
}

TEST_F(MqttClientTest, SubscribeOutcomes) {
    auto wire = ConnectClient();
    int refused_id = client_->Subscribe("/refused", 1, nullptr, nullptr);
    int silent_id = client_->Subscribe("/silent", 1, nullptr, nullptr);
    ASSERT_GT(refused_id, 0);
    wire->Send({0x90, 0x03, 0x00, static_cast<uint8_t>(refused_id), 0x80});
    client_->Yield(19000);
    EXPECT_EQ(log_.Count("MQTT SUBSCRIBE failed, ack code is 0x80"), 1);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_NACK), 1);
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_TIMEOUT), 0);
    client_->Yield(1100);  // ten request time-outs have passed
    ASSERT_EQ(events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_TIMEOUT), 1);
    EXPECT_EQ(events_.ids.back(), static_cast<uintptr_t>(silent_id));
}

TEST_F(MqttClientTest, MalformedPacketClosesTheConnection) {
    auto wire = ConnectClient();
    wire->Send({0x40, 0x03, 0x00, 0x01, 0x00});
    client_->Yield(20);
    EXPECT_FALSE(client_->IsConnected());
}

}  // namespace
}  // namespace tessera::mqtt
