// Cloud messages through the public interface: ov_tessera_adapter hands them to the message service, the
// connected event makes the device monitor report, and ov_destroy leaves no queued message behind to be
// sent through the deleted service or to a topic without the device identity.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "biz/user_interface/message_service.h"
#include "log_capture.h"
#include "orvia_ipc.h"
#include "recording_publisher.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using messagingtest::DrainNetworkQueue;
using messagingtest::NetworkQueueGate;
using messagingtest::RecordingPublisher;

const char kMonthAnswer[] = "{\"RecordFlags\":\"0000000001000000000000000000000\"}";

struct Delivery {
    std::string key;
    std::string value;
    std::string id;
};

std::mutex g_mutex;
std::vector<Delivery> g_deliveries;

std::vector<Delivery> Deliveries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_deliveries;
}

// Answers like a recording query: at once, through an RRPC reply.
int AnswerMonth(const std::string& key, const std::string& value, const std::string& id, void*) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_deliveries.push_back({key, value, id});
    }
    return MessageService::GetInstance()->AddRrpc(0, key, kMonthAnswer, id);
}

int TakeSignal(const std::string& key, const std::string& value, void*) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_deliveries.push_back({key, value, ""});
    return 0;
}

ov_tessera_adapter_property_s Message(const char* id, const char* service_id, const char* request) {
    ov_tessera_adapter_property_s in;
    in.dev_id = 0;
    in.id = id;
    in.id_len = static_cast<int>(strlen(id));
    in.service_id = service_id;
    in.service_id_len = static_cast<int>(strlen(service_id));
    in.request = request;
    in.request_len = static_cast<int>(strlen(request));
    return in;
}

class MessageFlowTest : public testing::Test {
protected:
    void SetUp() override {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_deliveries.clear();
        }
        MessageService::GetInstance()->SetPublisher(publisher_);
        MessageService::GetInstance()->RegisterServiceHandler("QueryMonthRecord", AnswerMonth, nullptr);
        MessageService::GetInstance()->RegisterOrviaHandler("/vision/p2p/dev/data/downstream", TakeSignal, nullptr);
        const ov_config_s config = testconfig::ValidConfig();
        ASSERT_EQ(ov_init(&config), 0);
        logs_.Clear();
    }
    void TearDown() override { ov_destroy(); }

    std::shared_ptr<RecordingPublisher> publisher_ = std::make_shared<RecordingPublisher>();
    testsupport::LogCapture logs_;
};

TEST_F(MessageFlowTest, ConnectionReportsVersionOnceAndCapabilitiesEveryTime) {
    EXPECT_EQ(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr), 0);
    EXPECT_EQ(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr), 0);
    DrainNetworkQueue();
    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[0].topic, "/sys/a1B2/cam01/vision/biz/dev/monitor/upstream");
    EXPECT_NE(sent[0].payload.find("\"method\":\"IpcVersion\""), std::string::npos);
    const char* const properties[] = {"{\"EncryptTypeList\":[0]}", "{\"UploadPictureType\":1}",
                                      "{\"PreRecordSupport\":1}"};
    for (size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].call, "property");
        EXPECT_EQ(sent[i].payload, properties[(i - 1) % 3]);
    }
}

TEST_F(MessageFlowTest, ServiceCallIsAnsweredOnTheRrpcTopic) {
    ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr);
    DrainNetworkQueue();
    const size_t reports = publisher_->Sent().size();

    const auto call = Message("4711", "QueryMonthRecord", "{\"Month\":\"202612\"}");
    EXPECT_EQ(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &call), 0);
    const auto signal = Message("", "/vision/p2p/dev/data/downstream", "{\"type\":\"offer\"}");
    EXPECT_EQ(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_ORVIA, &signal), 0);
    DrainNetworkQueue();

    const auto deliveries = Deliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].key, "QueryMonthRecord");
    EXPECT_EQ(deliveries[0].value, "{\"Month\":\"202612\"}");
    EXPECT_EQ(deliveries[0].id, "4711");
    EXPECT_EQ(deliveries[1].key, "/vision/p2p/dev/data/downstream");
    EXPECT_EQ(deliveries[1].value, "{\"type\":\"offer\"}");

    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), reports + 1);
    EXPECT_EQ(sent.back().topic, "/sys/a1B2/cam01/rrpc/response/4711");
    EXPECT_EQ(sent.back().payload, std::string("{\"id\":\"0\",\"code\":200,\"data\":") + kMonthAnswer + "}");
    EXPECT_EQ(sent.back().qos, 0);
}

// ov_destroy clears the configuration, then deletes the message service, then drains the network queue.
TEST_F(MessageFlowTest, DestroyDiscardsWhatIsStillQueued) {
    ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr);
    DrainNetworkQueue();
    const size_t sent_before = publisher_->Sent().size();
    const auto call = Message("4711", "QueryMonthRecord", "{}");
    std::thread destroyer;
    {
        NetworkQueueGate gate;
        ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr);
        ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &call);
        destroyer = std::thread(ov_destroy);
        // The queue is held, so ov_destroy waits in its drain; the service is gone by then.
        while (!logs_.Has("Destroy mqtt service")) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    destroyer.join();
    EXPECT_EQ(publisher_->Sent().size(), sent_before);
    EXPECT_FALSE(logs_.HasSubstring("Publish msg error")) << logs_.Dump();
    EXPECT_TRUE(logs_.HasSubstring("Message service stopped, discard message type:3"));
}

}  // namespace
