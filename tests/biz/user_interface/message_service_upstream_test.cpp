// Upstream messages of the message service: what reaches the cloud device SDK, from which thread, in which
// order, and what happens to messages still queued when the service or the configuration goes away.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "biz/user_interface/device_dispatch.h"
#include "biz/user_interface/message_service.h"
#include "log_capture.h"
#include "recording_publisher.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using messagingtest::DrainNetworkQueue;
using messagingtest::NetworkQueueGate;
using messagingtest::RecordingPublisher;
using messagingtest::SentMessage;

class MessageServiceUpstreamTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(TimerService::GetNetworkInstance()->Start(), 0);
        const ov_config_s config = testconfig::ValidConfig();
        ASSERT_EQ(DeviceDispatch::GetInstance()->Init(&config), 0);
        Service()->SetPublisher(publisher_);
        logs_.Clear();
    }
    void TearDown() override {
        MessageService::DestroyInstance();
        TimerService::DestroyNetworkInstance();
        DeviceDispatch::DestroyInstance();
    }
    static MessageService* Service() { return MessageService::GetInstance(); }
    bool HasErrorLine() const {
        for (const auto& record : logs_.Records()) {
            if (record.level == LEVEL_ERROR) return true;
        }
        return false;
    }

    std::shared_ptr<RecordingPublisher> publisher_ = std::make_shared<RecordingPublisher>();
    testsupport::LogCapture logs_;
};

std::string Reply(const std::string& id, const std::string& data) {
    return "{\"id\":\"" + id + "\",\"code\":200,\"data\":" + data + "}";
}

struct UpstreamCase {
    const char* name;
    std::function<int()> add;
    std::string add_line;  // debug line of the Add operation; empty for none
    SentMessage expected;
};

SentMessage Publish(const std::string& topic, const std::string& payload, int qos) {
    SentMessage sent;
    sent.call = "publish";
    sent.topic = topic;
    sent.payload = payload;
    sent.qos = qos;
    sent.dup = 0;
    sent.retain = 0;
    return sent;
}

SentMessage Post(const char* call, int dev_id, const std::string& topic, const std::string& payload) {
    SentMessage sent;
    sent.call = call;
    sent.dev_id = dev_id;
    sent.topic = topic;
    sent.payload = payload;
    return sent;
}

TEST_F(MessageServiceUpstreamTest, EachKindIsSentFromTheNetworkQueueWithItsTopicPayloadAndQos) {
    const std::string month = "{\"RecordFlags\":\"0101000000000000000000000000000\"}";
    const std::vector<UpstreamCase> cases = {
        {"property", [] { return Service()->AddProperty(0, "{\"PreRecordSupport\":1}"); },
         "Add property, value:{\"PreRecordSupport\":1}", Post("property", 0, "", "{\"PreRecordSupport\":1}")},
        {"event", [] { return Service()->AddEvent(0, "AlarmEvent", "{\"Type\":1}"); },
         "Add event,key:AlarmEvent value:{\"Type\":1}", Post("event", 0, "AlarmEvent", "{\"Type\":1}")},
        {"service reply", [] { return Service()->AddService(0, "TriggerPicCapture", "{\"Ok\":1}", "123"); },
         "Add service, key:TriggerPicCapture value:{\"Ok\":1} id:123",
         Publish("/sys/a1B2/cam01/thing/service/TriggerPicCapture_reply", Reply("123", "{\"Ok\":1}"), 1)},
        {"rrpc reply", [&] { return Service()->AddRrpc(0, "QueryMonthRecord", month, "4711"); },
         "Add rrpc,key:QueryMonthRecord value:" + month + " id:4711",
         Publish("/sys/a1B2/cam01/rrpc/response/4711", Reply("0", month), 0)},
        {"sdk channel", [] { return Service()->AddOrvia(0, "/vision/p2p/dev/data/upstream", "{\"type\":\"answer\"}"); },
         "", Publish("/sys/a1B2/cam01/vision/p2p/dev/data/upstream", "{\"type\":\"answer\"}", 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        publisher_ = std::make_shared<RecordingPublisher>();
        Service()->SetPublisher(publisher_);
        logs_.Clear();
        NetworkQueueGate gate;
        EXPECT_EQ(c.add(), 0);
        EXPECT_TRUE(publisher_->Sent().empty()) << "sent before the queue ran";
        gate.Open();
        DrainNetworkQueue();

        const auto sent = publisher_->Sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].call, c.expected.call);
        EXPECT_EQ(sent[0].topic, c.expected.topic);
        EXPECT_EQ(sent[0].payload, c.expected.payload);
        EXPECT_EQ(sent[0].qos, c.expected.qos);
        EXPECT_EQ(sent[0].dup, c.expected.dup);
        EXPECT_EQ(sent[0].retain, c.expected.retain);
        EXPECT_EQ(sent[0].dev_id, c.expected.dev_id);
        EXPECT_EQ(sent[0].thread, gate.queue_thread());
        if (!c.add_line.empty()) {
            EXPECT_TRUE(logs_.Has(c.add_line, LEVEL_DEBUG)) << logs_.Dump();
        }
        EXPECT_TRUE(logs_.Has("handler dispatch", LEVEL_VERBOSE));
        EXPECT_FALSE(HasErrorLine()) << logs_.Dump();
    }
}

TEST_F(MessageServiceUpstreamTest, PublishedMessagesAreLoggedWithTopicAndPayload) {
    Service()->AddOrvia(0, "/vision/biz/dev/monitor/upstream", "{\"m\":1}");
    DrainNetworkQueue();
    EXPECT_TRUE(logs_.Has("dispatch:4", LEVEL_VERBOSE));
    EXPECT_TRUE(logs_.Has("topic:/sys/a1B2/cam01/vision/biz/dev/monitor/upstream, msg:{\"m\":1}", LEVEL_VERBOSE));
}

TEST_F(MessageServiceUpstreamTest, RrpcRepliesTakeConsecutiveIdsWhateverTheirRrpcIds) {
    Service()->AddRrpc(0, "QueryRecordList", "{\"A\":1}", "999");
    Service()->AddRrpc(0, "QueryRecordList", "{\"A\":2}", "5");
    DrainNetworkQueue();
    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].topic, "/sys/a1B2/cam01/rrpc/response/999");
    EXPECT_EQ(sent[0].payload, Reply("0", "{\"A\":1}"));
    EXPECT_EQ(sent[1].topic, "/sys/a1B2/cam01/rrpc/response/5");
    EXPECT_EQ(sent[1].payload, Reply("1", "{\"A\":2}"));
}

TEST_F(MessageServiceUpstreamTest, MessagesAreSentInTheOrderOfTheAddCalls) {
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) {
        const std::string suffix = "/vision/test/dev/n" + std::to_string(i) + "/upstream";
        if (i % 3 == 0) {
            Service()->AddRrpc(0, "Q", "{}", std::to_string(i));
            expected.push_back("/sys/a1B2/cam01/rrpc/response/" + std::to_string(i));
        } else if (i % 3 == 1) {
            Service()->AddEvent(0, "E" + std::to_string(i), "{}");
            expected.push_back("E" + std::to_string(i));
        } else {
            Service()->AddOrvia(0, suffix, "{}");
            expected.push_back("/sys/a1B2/cam01" + suffix);
        }
    }
    DrainNetworkQueue();
    EXPECT_EQ(publisher_->Topics(), expected);
}

TEST_F(MessageServiceUpstreamTest, RefusedSendsAreLoggedAndLostWithoutStoppingLaterOnes) {
    publisher_->publish_result = -3;
    publisher_->report_result = -1;
    Service()->AddOrvia(0, "/vision/a/b/c/upstream", "{}");
    Service()->AddProperty(0, "{\"A\":1}");
    Service()->AddEvent(0, "E", "{}");
    DrainNetworkQueue();
    EXPECT_TRUE(logs_.Has("Publish msg error:-3", LEVEL_ERROR));
    EXPECT_TRUE(logs_.Has("Post property error:-1", LEVEL_ERROR));
    EXPECT_TRUE(logs_.Has("Post event error:-1", LEVEL_ERROR));

    publisher_->publish_result = 0;
    Service()->AddOrvia(0, "/vision/a/b/c/upstream", "{}");
    DrainNetworkQueue();
    EXPECT_EQ(publisher_->Sent().size(), 4u) << "a failed publish is not retried";
}

// The reply envelope is JSON text: an id with a quote stays one text, and reply data that is not a JSON
// value is refused instead of sending an envelope the cloud cannot read.
TEST_F(MessageServiceUpstreamTest, ReplyEnvelopesAreAlwaysValidJson) {
    Service()->AddService(0, "S", "{}", "a\"b\\c");
    const char* const bad_data[] = {"", "{\"a\":", "not json", "{} {}"};
    for (const char* data : bad_data) Service()->AddRrpc(0, "Q", data, "1");
    Service()->AddService(0, "S", "", "2");
    DrainNetworkQueue();

    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), 1u) << logs_.Dump();
    cJSON* reply = cJSON_Parse(sent[0].payload.c_str());
    ASSERT_NE(reply, nullptr) << sent[0].payload;
    EXPECT_STREQ(cJSON_GetObjectItem(reply, "id")->valuestring, "a\"b\\c");
    cJSON_Delete(reply);
    EXPECT_EQ(logs_.Count("Reply data is not JSON, key:Q"), 4);
    EXPECT_EQ(logs_.Count("Reply data is not JSON, key:S"), 1);
}

TEST_F(MessageServiceUpstreamTest, AddFailsWhenTheNetworkQueueDoesNotRun) {
    TimerService::DestroyNetworkInstance();
    EXPECT_EQ(Service()->AddOrvia(0, "/vision/a/b/c/upstream", "{}"), -1);
    EXPECT_EQ(Service()->AddRrpc(0, "Q", "{}", "1"), -1);
    EXPECT_TRUE(logs_.Has("Threadpool is not start"));
    TimerService::GetNetworkInstance()->Start();
    DrainNetworkQueue();
    EXPECT_TRUE(publisher_->Sent().empty());
}

// ov_destroy deletes the message service before it drains the network queue: what is still queued then
// is discarded, and never sent through the deleted service.
TEST_F(MessageServiceUpstreamTest, MessagesQueuedWhenTheServiceIsDestroyedAreDiscarded) {
    {
        NetworkQueueGate gate;
        Service()->AddProperty(0, "{\"A\":1}");
        Service()->AddEvent(0, "E", "{}");
        Service()->AddService(0, "S", "{}", "1");
        Service()->AddRrpc(0, "Q", "{}", "2");
        Service()->AddOrvia(0, "/vision/a/b/c/upstream", "{}");
        MessageService::DestroyInstance();
    }
    DrainNetworkQueue();
    EXPECT_TRUE(publisher_->Sent().empty());
    for (int type = 0; type < MQTT_MESSAGE_TYPE_MAX; ++type) {
        EXPECT_TRUE(logs_.HasSubstring("Message service stopped, discard message type:" + std::to_string(type)))
            << logs_.Dump();
    }
}

// It clears the configuration even earlier: no topic is then built with an empty product key or device name.
TEST_F(MessageServiceUpstreamTest, TopicMessagesQueuedWhenTheConfigurationIsClearedAreDiscarded) {
    {
        NetworkQueueGate gate;
        Service()->AddService(0, "S", "{}", "1");
        Service()->AddRrpc(0, "Q", "{}", "2");
        Service()->AddOrvia(0, "/vision/a/b/c/upstream", "{}");
        DeviceDispatch::GetInstance()->Destroy();
    }
    DrainNetworkQueue();
    EXPECT_TRUE(publisher_->Sent().empty());
    EXPECT_TRUE(logs_.Has("No device identity, discard message type:2 key:S", LEVEL_WARN)) << logs_.Dump();
    EXPECT_TRUE(logs_.Has("No device identity, discard message type:3 key:Q", LEVEL_WARN));
    EXPECT_TRUE(logs_.Has("No device identity, discard message type:4 key:/vision/a/b/c/upstream", LEVEL_WARN));
}

// Producers on several threads at once: every message is sent, each producer's in its own order.
TEST_F(MessageServiceUpstreamTest, ConcurrentProducersKeepTheirOrder) {
    const int kThreads = 4;
    const int kPerThread = 100;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                Service()->AddOrvia(0, "/vision/t" + std::to_string(t) + "/dev/x/upstream", std::to_string(i));
            }
        });
    }
    for (int i = 0; i < kPerThread; ++i) Service()->TesseraAdapterTslService(0, "1", "Unknown", "{}");
    for (auto& producer : producers) producer.join();
    DrainNetworkQueue();

    std::vector<int> next(kThreads, 0);
    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), static_cast<size_t>(kThreads * kPerThread));
    for (const auto& message : sent) {
        const int t = message.topic[std::string("/sys/a1B2/cam01/vision/t").size()] - '0';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(message.payload, std::to_string(next[t]++));
    }
}

}  // namespace
