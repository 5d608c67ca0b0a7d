// Downstream dispatch and registration of the message service.
#include "biz/user_interface/message_service.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "biz/user_interface/device_dispatch.h"
#include "log_capture.h"
#include "recording_publisher.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using messagingtest::DrainNetworkQueue;
using messagingtest::RecordingPublisher;

// What a handler was called with.
struct HandlerCall {
    std::string handler;
    std::string key;
    std::string value;
    std::string id;
    void* arg;
    std::thread::id thread;
};

class CallLog {
public:
    void Add(const HandlerCall& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }
    std::vector<HandlerCall> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<HandlerCall> calls_;
};

CallLog g_calls;

int FirstService(const std::string& key, const std::string& value, const std::string& id, void* arg) {
    g_calls.Add({"first", key, value, id, arg, std::this_thread::get_id()});
    return 0;
}
int SecondService(const std::string& key, const std::string& value, const std::string& id, void* arg) {
    g_calls.Add({"second", key, value, id, arg, std::this_thread::get_id()});
    return 0;
}
int FailingService(const std::string& key, const std::string& value, const std::string& id, void* arg) {
    g_calls.Add({"failing", key, value, id, arg, std::this_thread::get_id()});
    return -1;
}
int OrviaHandler(const std::string& key, const std::string& value, void* arg) {
    g_calls.Add({"orvia", key, value, "", arg, std::this_thread::get_id()});
    return 0;
}
int PropertyHandler(const std::string& value, void* arg) {
    g_calls.Add({"property", "", value, "", arg, std::this_thread::get_id()});
    return 0;
}

const char* const kCameraServices[] = {
    "StartPushStreaming", "StopPushStreaming", "StartVod",         "StartVodByTime",
    "StopVod",            "StartP2PStreaming", "QueryRecordList",  "QueryRecordTimeList",
    "QueryMonthRecord",   "TriggerPicCapture", "StartVoiceIntercom",
};
const char* const kOrviaTopics[] = {
    "/vision/biz/dev/StreamGroupOfPicture/invoke",
    "/vision/biz/dev/SendMessageToDev/invoke",
    "/vision/p2p/dev/data/downstream",
};

class MessageServiceTest : public testing::Test {
protected:
    void SetUp() override {
        g_calls.Clear();
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
    void RegisterCameraServices(void* arg) {
        for (const char* name : kCameraServices) ASSERT_EQ(Service()->RegisterServiceHandler(name, FirstService, arg), 0);
        for (const char* topic : kOrviaTopics) ASSERT_EQ(Service()->RegisterOrviaHandler(topic, OrviaHandler, arg), 0);
    }

    std::shared_ptr<RecordingPublisher> publisher_ = std::make_shared<RecordingPublisher>();
    testsupport::LogCapture logs_;
};

TEST_F(MessageServiceTest, ServiceCallsReachTheirHandlerOnTheCallingThread) {
    int context = 0;
    RegisterCameraServices(&context);
    for (const char* name : kCameraServices) {
        g_calls.Clear();
        EXPECT_EQ(Service()->TesseraAdapterTslService(0, "998877", name, "{\"Id\":1}"), 0);
        const auto calls = g_calls.Calls();
        ASSERT_EQ(calls.size(), 1u) << name;
        EXPECT_EQ(calls[0].key, name);
        EXPECT_EQ(calls[0].value, "{\"Id\":1}");
        EXPECT_EQ(calls[0].id, "998877");
        EXPECT_EQ(calls[0].arg, &context);
        EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
        EXPECT_TRUE(logs_.Has(std::string("Dispatch service, key:") + name + " value:{\"Id\":1} id:998877",
                              LEVEL_VERBOSE));
    }
}

TEST_F(MessageServiceTest, OrviaMessagesReachTheirHandlerByTopicSuffix) {
    int context = 0;
    RegisterCameraServices(&context);
    for (const char* topic : kOrviaTopics) {
        g_calls.Clear();
        logs_.Clear();
        EXPECT_EQ(Service()->TesseraAdapterOrvia(0, topic, "{\"sdp\":\"v=0\"}"), 0);
        const auto calls = g_calls.Calls();
        ASSERT_EQ(calls.size(), 1u) << topic;
        EXPECT_EQ(calls[0].handler, "orvia");
        EXPECT_EQ(calls[0].key, topic);
        EXPECT_EQ(calls[0].value, "{\"sdp\":\"v=0\"}");
        EXPECT_EQ(calls[0].arg, &context);
        EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
        EXPECT_TRUE(logs_.Has(std::string("Dev id = 0, key = ") + topic + ", value = {\"sdp\":\"v=0\"}", LEVEL_DEBUG));
        EXPECT_TRUE(logs_.Has(std::string("Dispatch orvia, key:") + topic + " value:{\"sdp\":\"v=0\"}", LEVEL_VERBOSE));
    }
}

TEST_F(MessageServiceTest, UnknownNamesAreOnlyLoggedAndNotAnswered) {
    RegisterCameraServices(nullptr);
    EXPECT_EQ(Service()->TesseraAdapterTslService(0, "7", "StopVoiceIntercom", "{}"), 0);
    EXPECT_EQ(Service()->TesseraAdapterOrvia(3, "/vision/biz/dev/Unknown/invoke", "{}"), 0);
    EXPECT_EQ(Service()->TesseraAdapterTslProperty(0, "{\"Brightness\":3}"), 0);
    DrainNetworkQueue();

    EXPECT_TRUE(g_calls.Calls().empty());
    EXPECT_TRUE(publisher_->Sent().empty());
    EXPECT_TRUE(logs_.Has("recycle service, key:StopVoiceIntercom value:{} id:7", LEVEL_DEBUG)) << logs_.Dump();
    EXPECT_TRUE(logs_.Has("recycle orvia, key:/vision/biz/dev/Unknown/invoke value:{}", LEVEL_ERROR));
    EXPECT_TRUE(logs_.Has("recycle property, value:{\"Brightness\":3}", LEVEL_DEBUG));
}

TEST_F(MessageServiceTest, FirstRegistrationStaysInForce) {
    int first_arg = 1;
    int second_arg = 2;
    EXPECT_EQ(Service()->RegisterServiceHandler("QueryRecordList", FirstService, &first_arg), 0);
    EXPECT_EQ(Service()->RegisterServiceHandler("QueryRecordList", SecondService, &second_arg), 0);
    EXPECT_EQ(logs_.Count("Register service QueryRecordList success"), 2);

    Service()->TesseraAdapterTslService(0, "1", "QueryRecordList", "{}");
    const auto calls = g_calls.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].handler, "first");
    EXPECT_EQ(calls[0].arg, &first_arg);
}

TEST_F(MessageServiceTest, RegistrationOfEachKind) {
    struct Case {
        const char* kind;
        int (*register_null)();
        int (*register_handler)();
    };
    const Case cases[] = {
        {"property", [] { return Service()->RegisterPropertyHandler("Brightness", nullptr, nullptr); },
         [] { return Service()->RegisterPropertyHandler("Brightness", PropertyHandler, nullptr); }},
        {"service", [] { return Service()->RegisterServiceHandler("StartVod", nullptr, nullptr); },
         [] { return Service()->RegisterServiceHandler("StartVod", FirstService, nullptr); }},
        {"orvia", [] { return Service()->RegisterOrviaHandler("/vision/x/y/z/invoke", nullptr, nullptr); },
         [] { return Service()->RegisterOrviaHandler("/vision/x/y/z/invoke", OrviaHandler, nullptr); }},
    };
    for (const auto& c : cases) {
        logs_.Clear();
        EXPECT_EQ(c.register_null(), -1) << c.kind;
        EXPECT_TRUE(logs_.Has("Illegal input", LEVEL_ERROR)) << c.kind;
        EXPECT_EQ(c.register_handler(), 0) << c.kind;
        EXPECT_EQ(logs_.Records().back().level, LEVEL_DEBUG) << c.kind;
        EXPECT_NE(logs_.Records().back().message.find(std::string("Register ") + c.kind + " "), std::string::npos);
    }
    // A null registration leaves nothing behind: the key still reaches the later real handler.
    Service()->TesseraAdapterTslService(0, "1", "StartVod", "{}");
    EXPECT_EQ(g_calls.Calls().size(), 1u);
}

TEST_F(MessageServiceTest, HandlerFailureIsLeftToTheHandler) {
    Service()->RegisterServiceHandler("StartVod", FailingService, nullptr);
    EXPECT_EQ(Service()->TesseraAdapterTslService(0, "1", "StartVod", "{}"), 0);
    DrainNetworkQueue();
    EXPECT_EQ(g_calls.Calls().size(), 1u);
    EXPECT_TRUE(publisher_->Sent().empty());
}

TEST_F(MessageServiceTest, DestroyDropsEveryRegistration) {
    RegisterCameraServices(nullptr);
    MessageService::DestroyInstance();
    EXPECT_TRUE(logs_.Has("Destroy mqtt service", LEVEL_DEBUG));

    EXPECT_EQ(Service()->TesseraAdapterTslService(0, "1", "StartVod", "{}"), 0);
    EXPECT_TRUE(g_calls.Calls().empty());
    EXPECT_TRUE(logs_.Has("recycle service, key:StartVod value:{} id:1"));
}

// Whatever the cloud sends, unknown or malformed messages are dropped with their line and the service
// goes on dispatching and sending. Payloads are not read here: a registered handler gets them as they are.
TEST_F(MessageServiceTest, FloodOfMalformedAndUnknownMessagesLeavesTheServiceWorking) {
    RegisterCameraServices(nullptr);
    const std::string huge(1 << 20, '{');
    const std::string with_nul("{\"a\":\0\"b\"}", 11);
    struct Message {
        bool orvia;
        std::string key;
        std::string value;
        std::string id;
        bool known;
    };
    const std::vector<Message> messages = {
        {false, "StartVod", "{not json", "1", true},
        {false, "StartVod", huge, "2", true},
        {false, "StartVod", "", "", true},
        {false, "StartVod", with_nul, "3", true},
        {false, "", "{}", "4", false},
        {false, "startvod", "{}", "5", false},
        {false, "StartVod ", "{}", "6", false},
        {false, huge, "{}", "7", false},
        {false, std::string("StartVod\0x", 10), "{}", "8", false},
        {true, "/vision/p2p/dev/data/downstream", "[1,2", "", true},
        {true, "", "{}", "", false},
        {true, "/vision/p2p/dev/data/downstream/", "{}", "", false},
        {true, "vision/p2p/dev/data/downstream", huge, "", false},
    };
    const int kRounds = 20;
    size_t known = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const auto& m : messages) {
            const int result = m.orvia ? Service()->TesseraAdapterOrvia(0, m.key, m.value)
                                       : Service()->TesseraAdapterTslService(0, m.id, m.key, m.value);
            EXPECT_EQ(result, 0);
            known += m.known ? 1 : 0;
        }
    }
    const auto calls = g_calls.Calls();
    ASSERT_EQ(calls.size(), known);
    EXPECT_EQ(calls[1].value, huge);
    EXPECT_EQ(calls[3].value, with_nul);
    EXPECT_EQ(logs_.Count("recycle service, key:startvod value:{} id:5"), kRounds);
    EXPECT_EQ(logs_.Count("recycle orvia, key: value:{}"), kRounds);

    // Still working both ways.
    g_calls.Clear();
    Service()->TesseraAdapterTslService(0, "77", "QueryMonthRecord", "{\"Month\":\"202612\"}");
    ASSERT_EQ(g_calls.Calls().size(), 1u);
    EXPECT_EQ(Service()->AddRrpc(0, "QueryMonthRecord", "{}", "77"), 0);
    DrainNetworkQueue();
    ASSERT_EQ(publisher_->Sent().size(), 1u);
    EXPECT_EQ(publisher_->Sent()[0].topic, "/sys/a1B2/cam01/rrpc/response/77");
}

}  // namespace
