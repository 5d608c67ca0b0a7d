// Inbound messages to user events and on to the registered handlers, without a broker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk_log_capture.h"
#include "services/thing_model/event_dispatcher.h"
#include "services/thing_model/event_text.h"
#include "services/thing_model/inbound_router.h"
#include "services/thing_model/user_event_queue.h"
#include "tessera_api.h"
#include "tessera_hal.h"

namespace tessera::thing {
namespace {

struct Call {
    std::string kind;
    int devid = -1;
    std::string id;
    std::string service_id;
    std::string payload;
};

std::vector<Call> g_calls;

int OnService(const int devid, const char* id, const int id_len, const char* sid, const int sid_len,
              const char* request, const int request_len, char**, int*) {
    g_calls.push_back({"service", devid, std::string(id, id_len), std::string(sid, sid_len),
                       std::string(request, request_len)});
    return 0;
}
int OnPropertySet(const int devid, const char* request, const int len) {
    g_calls.push_back({"property", devid, "", "", std::string(request, len)});
    return 0;
}
int OnOrvia(const int devid, const char* sid, const int sid_len, const char* payload, const int len) {
    g_calls.push_back({"orvia", devid, "", std::string(sid, sid_len), std::string(payload, len)});
    return 0;
}
int OnNotify(const int devid, const char* request, const int len) {
    g_calls.push_back({"notify", devid, "", "", std::string(request, len)});
    return 0;
}
int OnTimestamp(const char* utc) {
    g_calls.push_back({"time", -1, "", "", utc});
    return 0;
}

class InboundRouterTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        zenq_register_for_ITE_SERVICE_REQUST(OnService);
        zenq_register_for_ITE_PROPERTY_SET(OnPropertySet);
        zenq_register_for_ITE_ORVIA(OnOrvia);
        zenq_register_for_ITE_EVENT_NOTIFY(OnNotify);
        zenq_register_for_ITE_TIMESTAMP_REPLY(OnTimestamp);
    }
    void RouteAndDispatch(InboundKind kind, const std::string& topic, const std::string& payload) {
        router_.Route(kind, topic, payload);
        for (const UserEvent& event : queue_.Take(UserEventQueue::kCapacity)) DispatchUserEvent(event, topics_);
    }

    testing::SdkLogCapture log_;
    DeviceTopics topics_{"a1B2", "cam01"};
    UserEventQueue queue_;
    InboundRouter router_{topics_, queue_, [] { return false; }};
};

struct RouteCase {
    const char* name;
    InboundKind kind;
    const char* topic;
    const char* payload;
    std::vector<Call> calls;
};

TEST_F(InboundRouterTest, MessagesReachTheirHandlers) {
    const char* envelope = R"({"id":"42","version":"1.0","method":"thing.service.QueryRecordList","params":{"Day":"x"}})";
    const RouteCase cases[] = {
        {"rrpc call", InboundKind::kRrpcCall, "/sys/a1B2/cam01/rrpc/request/998877", envelope,
         {{"service", 0, "998877", "QueryRecordList", R"({"Day":"x"})"}}},
        {"service call", InboundKind::kServiceCall, "/sys/a1B2/cam01/thing/service/StartVod", envelope,
         {{"service", 0, "42", "StartVod", R"({"Day":"x"})"}}},
        {"property set", InboundKind::kPropertySet, "/sys/a1B2/cam01/thing/service/property/set", envelope,
         {{"property", 0, "", "", R"({"Day":"x"})"}}},
        {"event notify", InboundKind::kEventNotify, "/sys/a1B2/cam01/_thing/event/notify", envelope,
         {{"notify", 0, "", "", R"({"Day":"x"})"}}},
        {"sdk channel", InboundKind::kSdkChannel, "/sys/a1B2/cam01/vision/p2p/dev/data/downstream", R"({"sdp":"v"})",
         {{"orvia", 0, "", "/vision/p2p/dev/data/downstream", R"({"sdp":"v"})"}}},
        {"sdk channel, array payload", InboundKind::kSdkChannel, "/sys/a1B2/cam01/vision/p2p/dev/data/downstream",
         "[1,2]", {}},
        {"sdk channel, empty payload", InboundKind::kSdkChannel, "/sys/a1B2/cam01/vision/p2p/dev/data/downstream", "",
         {}},
        {"service call, no envelope", InboundKind::kServiceCall, "/sys/a1B2/cam01/thing/service/StartVod",
         R"({"id":"42","params":{}})", {}},
        {"service call, id not text", InboundKind::kServiceCall, "/sys/a1B2/cam01/thing/service/StartVod",
         R"({"id":42,"version":"1.0","method":"m","params":{}})", {}},
        {"service call, params not an object", InboundKind::kServiceCall, "/sys/a1B2/cam01/thing/service/StartVod",
         R"({"id":"1","version":"1.0","method":"m","params":[1]})", {}},
        {"another device", InboundKind::kServiceCall, "/sys/a1B2/cam02/thing/service/StartVod", envelope, {}},
        {"product key too long", InboundKind::kSdkChannel, "/sys/a1B2a1B2a1B2a1B2a1B2/cam01/vision/a/b/c/invoke",
         "{}", {}},
        {"time response", InboundKind::kTimeResponse, "/ext/ntp/a1B2/cam01/response",
         R"({"serverSendTime":"1700000000123"})", {{"time", -1, "", "", "1700000000123"}}},
        {"time response, number", InboundKind::kTimeResponse, "/ext/ntp/a1B2/cam01/response",
         R"({"serverSendTime":1700000000123})", {}},
        {"id with quotes stays one member", InboundKind::kServiceCall, "/sys/a1B2/cam01/thing/service/S",
         R"({"id":"1\",\"serviceid\":\"X","version":"1.0","method":"m","params":{}})",
         {{"service", 0, "1\",\"serviceid\":\"X", "S", "{}"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_calls.clear();
        RouteAndDispatch(c.kind, c.topic, c.payload);
        ASSERT_EQ(g_calls.size(), c.calls.size());
        for (size_t i = 0; i < c.calls.size(); ++i) {
            EXPECT_EQ(g_calls[i].kind, c.calls[i].kind);
            EXPECT_EQ(g_calls[i].devid, c.calls[i].devid);
            EXPECT_EQ(g_calls[i].id, c.calls[i].id);
            EXPECT_EQ(g_calls[i].service_id, c.calls[i].service_id);
            EXPECT_EQ(g_calls[i].payload, c.calls[i].payload);
        }
    }
}

TEST_F(InboundRouterTest, TimeResponseSetsTheCloudClock) {
    RouteAndDispatch(InboundKind::kTimeResponse, "/ext/ntp/a1B2/cam01/response", R"({"serverSendTime":"1000000"})");
    EXPECT_LT(HAL_UTC_Get(), 1000000 + 60000);
    HAL_UTC_Set(0);
}

TEST(UserEventQueue, HoldsFiftyAndDropsTheRest) {
    testing::SdkLogCapture log;
    UserEventQueue queue;
    for (int i = 0; i < 51; ++i) {
        EXPECT_EQ(queue.Push(UserEvent{i, ""}), i < 50) << i;
    }
    EXPECT_EQ(log.Count("dm ipc list full"), 1);
    std::vector<UserEvent> first = queue.Take(30);
    ASSERT_EQ(first.size(), 30u);
    EXPECT_EQ(first.front().type, 0);
    EXPECT_EQ(queue.Take(50).size(), 20u);
}

TEST(EventText, EscapesMembersAndKeepsThePayload) {
    EXPECT_EQ(EventText({{"id", "a\"b"}, {"serviceid", "S"}}, 0, R"({"k":[1,2]})"),
              R"({"id":"a\"b","serviceid":"S","devid":0,"payload":{"k":[1,2]}})");
    EXPECT_EQ(EventText({}, 0, "{}"), R"({"devid":0,"payload":{}})");
    EXPECT_EQ(EventText({{"utc", "5"}}, -1, {}), R"({"utc":"5"})");
}

TEST(ThingModelApi, RefusalsBeforeOpeningAndConnecting) {
    testing::SdkLogCapture log;
    unsigned char payload[] = "{}";
    EXPECT_EQ(IOT_Tessera_Open(1, nullptr), -1);
    EXPECT_EQ(IOT_Tessera_Connect(0), -1);
    EXPECT_EQ(IOT_Tessera_Report(0, ITM_MSG_POST_PROPERTY, payload, 2), -1);
    EXPECT_EQ(IOT_Tessera_Report(0, ITM_MSG_POST_PROPERTY, nullptr, 2), -1);
    EXPECT_EQ(IOT_Tessera_Close(0), -1);
    uint64_t before = HAL_UptimeMs();
    IOT_Tessera_Yield(10);  // nothing open: it only sleeps
    EXPECT_GE(HAL_UptimeMs(), before + 10);

    zenq_tessera_dev_meta_info_t meta{};
    std::snprintf(meta.product_key, sizeof(meta.product_key), "a1B2");
    std::snprintf(meta.device_name, sizeof(meta.device_name), "cam01");
    std::snprintf(meta.device_secret, sizeof(meta.device_secret), "s");
    ASSERT_EQ(IOT_Tessera_Open(ZENQ_TESSERA_DEV_TYPE_MASTER, &meta), 0);
    EXPECT_EQ(IOT_Tessera_Open(ZENQ_TESSERA_DEV_TYPE_MASTER, &meta), -1);
    EXPECT_EQ(IOT_Tessera_Report(0, ITM_MSG_POST_PROPERTY, payload, 2), -1);  // not connected
    EXPECT_EQ(IOT_Tessera_TriggerEvent(0, nullptr, 0, nullptr, 0), -1);
    EXPECT_EQ(log.WithPrefix("SDK Version:V2.3.0_").size(), 1u);
    std::string version = log.WithPrefix("SDK Version:")[0];
    EXPECT_EQ(version.size(), std::string("SDK Version:V2.3.0_").size() + 6 + 1 + 40) << version;
    EXPECT_EQ(IOT_Tessera_Close(0), 0);
}

}  // namespace
}  // namespace tessera::thing
