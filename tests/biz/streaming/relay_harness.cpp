#include "relay_harness.h"

#include <unistd.h>

#include <cjson/cJSON.h>

#include <cstring>

#include "biz/user_interface/device_dispatch.h"
#include "biz/user_interface/message_service.h"
#include "common/thread_pool.h"
#include "common/timer_service.h"
#include "net.h"
#include "test_config.h"

namespace relaytest {

void RelayTest::SetUp() {
    ASSERT_EQ(ThreadPool::GetInstance()->Start(10), 0);
    ASSERT_EQ(TimerService::GetUserInstance()->Start(), 0);
    ASSERT_EQ(TimerService::GetNetworkInstance()->Start(), 0);
    MessageService::GetInstance()->SetPublisher(publisher_);
    const ov_config_s config = testconfig::ValidConfig();
    DeviceDispatch::GetInstance()->Init(&config);
    testconfig::DeviceRecorder::Get().Clear();
    logs_.Clear();
}

void RelayTest::TearDown() {
    // Runs the device calls still queued before the recorder is read by the next test.
    TimerService::DestroyUserInstance();
    TimerService::DestroyNetworkInstance();
}

bool RelayTest::Eventually(const std::function<bool()>& done, int attempts) {
    for (int i = 0; i < attempts; ++i) {
        if (done()) return true;
        usleep(10 * 1000);
    }
    return false;
}

bool RelayTest::DeviceGot(const std::string& prefix) {
    for (const std::string& text : testconfig::DeviceRecorder::Get().Texts()) {
        if (text.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

int RelayTest::LogCount(const std::string& substring) const {
    int count = 0;
    for (const testsupport::LogRecord& record : logs_.Records()) {
        if (record.message.find(substring) != std::string::npos) ++count;
    }
    return count;
}

std::vector<int> RelayTest::ReportedErrorCodes() const {
    messagingtest::DrainNetworkQueue();
    std::vector<int> codes;
    for (const messagingtest::SentMessage& sent : publisher_->Sent()) {
        std::unique_ptr<cJSON, void (*)(cJSON*)> report(cJSON_Parse(sent.payload.c_str()), cJSON_Delete);
        const cJSON* method = cJSON_GetObjectItemCaseSensitive(report.get(), "method");
        if (!cJSON_IsString(method) || std::string(method->valuestring) != "error") continue;
        const cJSON* params = cJSON_GetObjectItemCaseSensitive(report.get(), "params");
        const cJSON* module = cJSON_GetObjectItemCaseSensitive(params, "module");
        const cJSON* code = cJSON_GetObjectItemCaseSensitive(params, "code");
        if (cJSON_IsString(module) && std::string(module->valuestring) == "Relay" && cJSON_IsNumber(code)) {
            codes.push_back(code->valueint);
        }
    }
    return codes;
}

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c == '"' || c == '\\') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string AmfKey(const std::string& name) {
    return std::string{'\0', static_cast<char>(name.size())} + name;
}

}  // namespace

std::string StatusStep(const std::string& code, const std::string& description) {
    return "{\"send\":\"onStatus\",\"code\":" + JsonString(code) + ",\"description\":" + JsonString(description) +
           "}";
}

std::string PlayParamDescription(bool only_key_frame, double speed) {
    uint64_t bits = 0;
    std::memcpy(&bits, &speed, sizeof bits);
    std::string number(1, '\0');  // AMF0 number marker, then the IEEE 754 double big-endian
    for (int shift = 56; shift >= 0; shift -= 8) number += static_cast<char>((bits >> shift) & 0xFF);
    // Speeds are chosen so every byte stays below 0x80 and passes through the peer's UTF-8 text unchanged.
    return std::string("\x03") + AmfKey("onlyKeyFrame") + std::string{'\x01', only_key_frame ? '\x01' : '\0'} +
           AmfKey("speed") + number + std::string{'\0', '\0', '\x09'};
}

std::string DeadUrl() { return "rtmp://127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()) + "/live/cam"; }

}  // namespace relaytest
