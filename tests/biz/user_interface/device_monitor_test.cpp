// The device monitor's capability, timing and error reports, as the cloud device SDK would receive them.
#include "biz/user_interface/device_monitor.h"

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "biz/user_interface/device_dispatch.h"
#include "biz/user_interface/device_monitor_reports.h"
#include "biz/user_interface/message_service.h"
#include "log_capture.h"
#include "recording_publisher.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using messagingtest::DrainNetworkQueue;
using messagingtest::RecordingPublisher;
using messagingtest::SentMessage;

const char kMonitorTopic[] = "/sys/a1B2/cam01/vision/biz/dev/monitor/upstream";

// The reports as the device program's cloud sees them when every text is ordinary: pasted in as they are.
std::string LiteralVersionReport(const std::string& version) {
    return "{\"version\":\"1.0\",\"method\":\"IpcVersion\",\"params\":{\"version\":\"" + version +
           "\",\"pic\":\"obx\"}}";
}
std::string LiteralRelayReport(const MonitorRelayInfo& i) {
    return "{\"version\":\"1.0\",\"method\":\"startLiveStreaming\",\"params\":{\"recvPushTsBaseTime\":\"" + i.base_ +
           "\",\"recvPushTs\":\"" + i.recv_push + "\",\"startRtmpTs\":\"" + i.start_rtmp + "\",\"handshakeTs\":\"" +
           i.hands_shake + "\",\"firstIFrameTs\":\"" + i.first_i_frame + "\",\"forceIFrameTs\":\"" + i.force_i_frame +
           "\",\"firstIFrameAfterForceTs\":\"" + i.first_i_frame_after_force + "\"}}";
}
std::string LiteralErrorReport(const MonitorErrorInfo& e) {
    return "{\"version\":\"1.0\",\"method\":\"error\",\"params\":{\"module\":\"" + e.module + "\",\"code\":" + e.code +
           ",\"message\":\"" + e.message + "\",\"data\":\"" + e.data + "\"}}";
}

// A parsed report's params member, or null.
std::string ParamText(const std::string& report, const char* name) {
    cJSON* parsed = cJSON_Parse(report.c_str());
    if (parsed == nullptr) return "<invalid JSON>";
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItem(parsed, "params"), name);
    std::string text = cJSON_IsString(member) ? member->valuestring : "<missing>";
    cJSON_Delete(parsed);
    return text;
}

class DeviceMonitorTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(TimerService::GetNetworkInstance()->Start(), 0);
        const ov_config_s config = testconfig::ValidConfig();
        ASSERT_EQ(DeviceDispatch::GetInstance()->Init(&config), 0);
        MessageService::GetInstance()->SetPublisher(publisher_);
        logs_.Clear();
    }
    void TearDown() override {
        DeviceMonitor::DestroyInstance();
        MessageService::DestroyInstance();
        TimerService::DestroyNetworkInstance();
        DeviceDispatch::DestroyInstance();
    }
    static DeviceMonitor* Monitor() { return DeviceMonitor::GetInstance(); }
    // The one message sent since the last call.
    SentMessage SentOne() {
        DrainNetworkQueue();
        const auto sent = publisher_->Sent();
        EXPECT_EQ(sent.size(), seen_ + 1);
        seen_ = sent.size();
        return sent.empty() ? SentMessage() : sent.back();
    }
    std::string VersionFromLog() const {
        for (const auto& record : logs_.Records()) {
            if (record.message.compare(0, 9, "version: ") == 0) return record.message.substr(9);
        }
        return "<no version line>";
    }

    std::shared_ptr<RecordingPublisher> publisher_ = std::make_shared<RecordingPublisher>();
    testsupport::LogCapture logs_;
    size_t seen_ = 0;
};

TEST_F(DeviceMonitorTest, EveryConnectionReportsCapabilitiesButTheVersionOnlyOnce) {
    Monitor()->ReportConnectionInfo();
    Monitor()->ReportConnectionInfo();
    DrainNetworkQueue();

    const auto sent = publisher_->Sent();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[0].call, "publish");
    EXPECT_EQ(sent[0].topic, kMonitorTopic);
    EXPECT_EQ(sent[0].qos, 1);
    EXPECT_EQ(sent[0].payload, LiteralVersionReport(VersionFromLog()));
    const char* const properties[] = {"{\"EncryptTypeList\":[0]}", "{\"UploadPictureType\":1}",
                                      "{\"PreRecordSupport\":1}"};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(sent[i + 1].call, "property");
        EXPECT_EQ(sent[i + 1].dev_id, 0);
        EXPECT_EQ(sent[i + 1].payload, properties[i % 3]);
    }
    EXPECT_EQ(logs_.Count("Version have reported"), 1);
}

TEST_F(DeviceMonitorTest, VersionNamesTheSdkBuildInSixComponents) {
    Monitor()->ReportVersionInfo();
    SentOne();
    const std::string version = VersionFromLog();
    size_t components = 0;
    for (char c : version) components += c == '_' ? 1 : 0;
    EXPECT_EQ(components, 6u) << version;
    EXPECT_EQ(version.back(), '_');
    EXPECT_EQ(version.compare(0, 6, "orvia_"), 0) << version;
}

TEST_F(DeviceMonitorTest, ANewInstanceReportsTheVersionAgain) {
    Monitor()->ReportVersionInfo();
    DeviceMonitor::DestroyInstance();
    Monitor()->ReportVersionInfo();
    DrainNetworkQueue();
    EXPECT_EQ(publisher_->Sent().size(), 2u);
    EXPECT_EQ(logs_.Count("Version have reported"), 0);
}

TEST(DeviceMonitorReports, VersionTextEndsEveryComponentWithAnUnderscore) {
    EXPECT_EQ(VersionText({"", "", "", "", "", ""}), "______");
    EXPECT_EQ(VersionText({"a", "b", "c", "d", "e", "f"}), "a_b_c_d_e_f_");
}

TEST_F(DeviceMonitorTest, OrdinaryTextsGiveTheLiteralReports) {
    const std::vector<MonitorErrorInfo> errors = {
        {"rtmp", "-1", "connect failed", ""},
        {"upload", "404", "put https://127.0.0.1:8443/up/pic.jpg?sign=ab12&t=1700000000 failed", "pic 42"},
        {"p2p", "0", "ice: timeout / no candidate pair", "{id:1}"},
    };
    for (const auto& error : errors) {
        EXPECT_EQ(Monitor()->ReportError(error), 0);
        const SentMessage sent = SentOne();
        EXPECT_EQ(sent.topic, kMonitorTopic);
        EXPECT_EQ(sent.qos, 1);
        EXPECT_EQ(sent.payload, LiteralErrorReport(error));
    }
    const MonitorRelayInfo relay = {"1700000000000", "12", "15", "40", "120", "", "300"};
    EXPECT_EQ(Monitor()->ReportRelayInfo(relay), 0);
    const SentMessage sent = SentOne();
    EXPECT_EQ(sent.topic, kMonitorTopic);
    EXPECT_EQ(sent.payload, LiteralRelayReport(relay));
}

TEST_F(DeviceMonitorTest, QuotesBackslashesAndControlCharactersAreEscaped) {
    const MonitorErrorInfo error = {"rtmp\\x", "-1", "server said \"no\" to C:\\live\\a\n", "url=\"rtmp://h/a\\b\"\t"};
    EXPECT_EQ(Monitor()->ReportError(error), 0);
    const std::string payload = SentOne().payload;
    EXPECT_EQ(ParamText(payload, "module"), error.module);
    EXPECT_EQ(ParamText(payload, "message"), error.message);
    EXPECT_EQ(ParamText(payload, "data"), error.data);

    MonitorRelayInfo relay;
    relay.base_ = "\"quoted\"";
    relay.first_i_frame_after_force = "back\\slash";
    EXPECT_EQ(Monitor()->ReportRelayInfo(relay), 0);
    const std::string relay_payload = SentOne().payload;
    EXPECT_EQ(ParamText(relay_payload, "recvPushTsBaseTime"), relay.base_);
    EXPECT_EQ(ParamText(relay_payload, "firstIFrameAfterForceTs"), relay.first_i_frame_after_force);
    EXPECT_EQ(ParamText(relay_payload, "recvPushTs"), "");
}

// The code goes in unquoted, as a JSON number: anything else would make the report unreadable.
TEST_F(DeviceMonitorTest, ErrorCodesMustBeDecimalIntegers) {
    const struct {
        const char* code;
        bool accepted;
    } cases[] = {
        {"0", true},   {"-1", true},  {"404", true}, {"-2147483648", true},
        {"", false},   {"-", false},  {"1.5", false}, {"abc", false},      {"007", false},
        {"1 ", false}, {"+1", false}, {"0x1F", false}, {"1,\"x\":2", false}, {"--1", false},
    };
    for (const auto& c : cases) {
        logs_.Clear();
        const int result = Monitor()->ReportError({"rtmp", c.code, "m", ""});
        EXPECT_EQ(result, c.accepted ? 0 : -1) << c.code;
        EXPECT_EQ(logs_.Has("Illegal error report, module:rtmp code:" + std::string(c.code), LEVEL_ERROR), !c.accepted)
            << c.code;
    }
    DrainNetworkQueue();
    EXPECT_EQ(publisher_->Sent().size(), 4u);
}

}  // namespace
