// The MQTT client against a real mosquitto over TLS: credentials, publish, subscribe, oversized packets,
// keep-alive, a broker crash and restart, and refused certificates.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "broker_fixture.h"
#include "sdk_log_capture.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_mqtt.h"

namespace tessera {
namespace {

using testsupport::CaptureCommand;
using testsupport::ChildProcess;
using testsupport::RunCommand;
using testsupport::TempDir;

struct Received {
    std::vector<int> events;
    std::vector<std::string> topics;
    std::vector<std::string> payloads;
    int Count(int event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }

    static void Handle(void* context, void*, zenq_mqtt_event_msg_t* msg) {
        auto* self = static_cast<Received*>(context);
        self->events.push_back(msg->event_type);
        if (msg->event_type != ZENQ_MQTT_EVENT_PUBLISH_RECEIVED) return;
        auto* info = static_cast<zenq_mqtt_topic_info_t*>(msg->msg);
        self->topics.emplace_back(info->ptopic, info->topic_len);
        self->payloads.emplace_back(info->payload, info->payload_len);
    }
};

class MqttBrokerTest : public ::testing::Test {
protected:
    explicit MqttBrokerTest(const std::string& cert_name = "server") : fixture_(cert_name) {}

    void SetUp() override {
        ASSERT_TRUE(fixture_.Start());
        fixture_.PointSdkAtBroker();
    }
    void TearDown() override {
        if (client_ != nullptr) IOT_MQTT_Destroy(&client_);
        IOT_SetCACert(nullptr);
    }

    // The thing model's parameters, from the connection information.
    void* Construct(uint32_t read_buf_size = 16384) {
        zenq_mqtt_init_params_t params{};
        if (!testing::FillIdentityParams(fixture_.device(), &params)) return nullptr;
        params.request_timeout_ms = 2000;
        params.keepalive_interval_ms = 30000;
        params.write_buf_size = 16384;
        params.read_buf_size = read_buf_size;
        params.handle_event.h_fp = &Received::Handle;
        params.handle_event.pcontext = &events_;
        client_ = IOT_MQTT_Construct(&params);
        return client_;
    }

    // Yields in short steps until done() or max_ms of yielding; false when it never became true.
    bool YieldUntil(const std::function<bool()>& done, int max_ms = 15000) {
        for (int waited = 0; waited < max_ms; waited += 50) {
            if (done()) return true;
            IOT_MQTT_Yield(client_, 50);
        }
        return done();
    }

    bool WaitForBrokerLog(const std::string& text, int max_ms = 10000) {
        for (int waited = 0; waited < max_ms; waited += 50) {
            if (fixture_.broker().Log().find(text) != std::string::npos) return true;
            if (client_ == nullptr || IOT_MQTT_Yield(client_, 50) != 0) HAL_SleepMs(50);
        }
        return false;
    }

    int Publish(const std::string& topic, const std::string& payload, uint8_t qos) {
        zenq_mqtt_topic_info_t message{};
        message.qos = qos;
        message.payload = payload.c_str();
        message.payload_len = static_cast<uint32_t>(payload.size());
        return IOT_MQTT_Publish(client_, topic.c_str(), &message);
    }

    void MosquittoPub(const std::string& topic, const std::string& args) {
        ASSERT_EQ(RunCommand("mosquitto_pub " + fixture_.ClientArgs() + " -t '" + topic + "' " + args), 0);
    }

    std::string Prefix() const { return "/sys/" + fixture_.device().product_key + "/" + fixture_.device().device_name; }

    testing::SdkLogCapture log_;
    testing::BrokerFixture fixture_;
    Received events_;
    void* client_ = nullptr;
};

TEST_F(MqttBrokerTest, CredentialsAreAcceptedAndTheConnectReportsArrive) {
    TempDir dir;
    ChildProcess sub;
    ASSERT_TRUE(sub.Start({"sh", "-c",
                           "exec mosquitto_sub -i observer-sub " + fixture_.ClientArgs() + " -t '/sys/#' -t '/ota/#' -v -C 2 -W 20"},
                          dir.File("sub.txt")));
    ASSERT_TRUE(WaitForBrokerLog(testing::BrokerFixture::kObserverSubscribed));
    ASSERT_NE(Construct(), nullptr) << log_.Dump();
    EXPECT_EQ(IOT_MQTT_CheckStateNormal(client_), 1);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_PUBLISH_SUCCESS) == 2; }));
    ASSERT_TRUE(YieldUntil([&] { return !sub.Running(); }));
    std::string out = testsupport::ReadFile(dir.File("sub.txt"));
    EXPECT_NE(out.find(Prefix() + "/thing/status/update {\"id\":\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"params\":{\"_sys_device_mid\":\"example.demo.module-id\","
                       "\"_sys_device_pid\":\"example.demo.partner-id\"}}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("/ota/device/inform/a1B2/cam01 {\"id\":\""), std::string::npos) << out;
}

TEST_F(MqttBrokerTest, WrongSecretIsRefusedByTheBroker) {
    void* info = nullptr;
    ASSERT_EQ(IOT_SetupConnInfo("a1B2", "cam01", "not-the-secret", &info), 0);
    EXPECT_EQ(IOT_MQTT_Construct(nullptr), nullptr);
    EXPECT_EQ(log_.Count("wait connect ACK timeout, or receive a ACK indicating error!"), 1);
}

TEST_F(MqttBrokerTest, Qos0AndQos1PublishesReachASubscriber) {
    ASSERT_NE(Construct(), nullptr);
    TempDir dir;
    ChildProcess sub;
    ASSERT_TRUE(sub.Start({"sh", "-c", "exec mosquitto_sub -i observer-sub " + fixture_.ClientArgs() + " -t '" + Prefix() +
                                           "/thing/event/+/post' -v -C 2 -W 20"},
                          dir.File("sub.txt")));
    ASSERT_TRUE(WaitForBrokerLog(testing::BrokerFixture::kObserverSubscribed));
    EXPECT_EQ(Publish(Prefix() + "/thing/event/property/post", "{\"q\":0}", 0), 0);
    int id = Publish(Prefix() + "/thing/event/alarm/post", "{\"q\":1}", 1);
    EXPECT_GT(id, 0);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_PUBLISH_SUCCESS) >= 3; }));
    ASSERT_TRUE(YieldUntil([&] { return !sub.Running(); }));
    EXPECT_EQ(testsupport::ReadFile(dir.File("sub.txt")),
              Prefix() + "/thing/event/property/post {\"q\":0}\n" + Prefix() + "/thing/event/alarm/post {\"q\":1}\n");
}

TEST_F(MqttBrokerTest, SubscriptionDeliversToItsHandlerAndUnsubscribeStopsIt) {
    ASSERT_NE(Construct(), nullptr);
    Received service;
    int id = IOT_MQTT_Subscribe(client_, (Prefix() + "/thing/service/+").c_str(), 1, &Received::Handle, &service);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS) == 1; }));
    MosquittoPub(Prefix() + "/thing/service/StartVod", "-q 1 -m '{\"id\":\"1\"}'");
    ASSERT_TRUE(YieldUntil([&] { return service.topics.size() == 1; }));
    EXPECT_EQ(service.topics[0], Prefix() + "/thing/service/StartVod");
    EXPECT_EQ(service.payloads[0], "{\"id\":\"1\"}");

    ASSERT_GT(IOT_MQTT_Unsubscribe(client_, (Prefix() + "/thing/service/+").c_str()), 0);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_UNSUBCRIBE_SUCCESS) == 1; }));
    MosquittoPub(Prefix() + "/thing/service/StopVod", "-q 1 -m '{}'");
    IOT_MQTT_Yield(client_, 500);
    EXPECT_EQ(service.topics.size(), 1u);
}

TEST_F(MqttBrokerTest, OversizedInboundPublishIsDroppedAndTheConnectionStays) {
    ASSERT_NE(Construct(), nullptr);
    ASSERT_GT(IOT_MQTT_Subscribe(client_, (Prefix() + "/#").c_str(), 0, &Received::Handle, &events_), 0);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS) == 1; }));
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir.File("big"), std::string(20000, 'x')));
    MosquittoPub(Prefix() + "/big", "-f '" + dir.File("big") + "'");
    MosquittoPub(Prefix() + "/small", "-m '{}'");
    ASSERT_TRUE(YieldUntil([&] { return events_.topics.size() == 1; }));
    EXPECT_EQ(events_.topics[0], Prefix() + "/small");
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_BUFFER_OVERFLOW), 1);
    EXPECT_EQ(IOT_MQTT_CheckStateNormal(client_), 1);
}

TEST_F(MqttBrokerTest, KeepAlivePingIsAnswered) {
    ASSERT_NE(Construct(), nullptr);
    ASSERT_TRUE(YieldUntil([&] { return log_.Count("receive ping response!") == 1; }, 35000)) << log_.Dump();
    EXPECT_EQ(log_.Count("send MQTT ping..."), 1);
    EXPECT_EQ(IOT_MQTT_CheckStateNormal(client_), 1);
}

TEST_F(MqttBrokerTest, BrokerCrashIsFollowedByReconnectionWithGrowingWaits) {
    ASSERT_NE(Construct(), nullptr);
    Received service;
    ASSERT_GT(IOT_MQTT_Subscribe(client_, (Prefix() + "/thing/service/+").c_str(), 0, &Received::Handle, &service), 0);
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS) == 1; }));

    const int port = fixture_.port();
    fixture_.broker().Kill();
    ASSERT_TRUE(YieldUntil([&] { return log_.Count("mqtt reconnect failed rc = -1") == 2; }, 20000)) << log_.Dump();
    EXPECT_EQ(events_.Count(ZENQ_MQTT_EVENT_DISCONNECT), 1);
    EXPECT_EQ(log_.Count("network is disconnected!"), 1);
    EXPECT_EQ(IOT_MQTT_Publish(client_, (Prefix() + "/x").c_str(), nullptr), -1);
    ASSERT_TRUE(fixture_.Start(port));
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_RECONNECT) == 1; }, 20000)) << log_.Dump();

    std::vector<std::string> waits = log_.WithPrefix("next reconnect in ");
    ASSERT_EQ(waits.size(), 2u);
    int first = std::stoi(waits[0].substr(18));
    int second = std::stoi(waits[1].substr(18));
    EXPECT_GE(first, 2000);
    EXPECT_LT(first, 4000);
    EXPECT_GE(second, 4000);
    EXPECT_LT(second, 8000);

    // The restarted broker lost the session: the client subscribed again.
    ASSERT_TRUE(YieldUntil([&] { return events_.Count(ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS) == 2; }));
    MosquittoPub(Prefix() + "/thing/service/StartVod", "-m '{}'");
    ASSERT_TRUE(YieldUntil([&] { return service.topics.size() == 1; }));
}

struct RefusedCertificate {
    const char* cert_name;
    const char* verification_log;
};

class MqttUntrustedBrokerTest : public MqttBrokerTest, public ::testing::WithParamInterface<RefusedCertificate> {
protected:
    MqttUntrustedBrokerTest() : MqttBrokerTest(GetParam().cert_name) {}
};

TEST_P(MqttUntrustedBrokerTest, ConnectionIsRefused) {
    EXPECT_EQ(Construct(), nullptr);
    EXPECT_EQ(log_.Count("TCP or TLS Connection failed"), 1);
    EXPECT_GE(log_.Count(GetParam().verification_log), 1) << log_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Certificates, MqttUntrustedBrokerTest,
                         ::testing::Values(RefusedCertificate{"other", "! fail ! self-signed or not signed by a trusted CA"},
                                           RefusedCertificate{"wrongname", "! fail ! CN mismatch"}));

}  // namespace
}  // namespace tessera
