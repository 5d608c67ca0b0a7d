// Builds reply envelopes and monitor reports from arbitrary texts: whatever a text holds, a payload that is
// built must be valid JSON and give the texts back unchanged.
#include <cjson/cJSON.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "biz/user_interface/device_monitor_reports.h"
#include "biz/user_interface/message_service_payloads.h"

namespace {

// Reply data is bounded so that its nesting stays far below cJSON's limit once wrapped in the envelope.
const size_t kMaxDataLength = 512;

std::vector<std::string> Split(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> parts(count);
    size_t part = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xff && part + 1 < count) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    return parts;
}

// Texts reach cJSON as C strings.
std::string AsCText(const std::string& text) { return text.c_str(); }

void ExpectText(const cJSON* object, const char* name, const std::string& expected) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsString(item) || AsCText(expected) != item->valuestring) abort();
}

cJSON* ParseOrDie(const std::string& text) {
    cJSON* parsed = cJSON_Parse(text.c_str());
    if (parsed == nullptr) abort();
    return parsed;
}

void CheckReply(const std::string& id, const std::string& data) {
    if (data.size() > kMaxDataLength) return;
    std::string payload;
    if (!ReplyPayload(id, data, &payload)) return;
    cJSON* reply = ParseOrDie(payload);
    ExpectText(reply, "id", id);
    cJSON_Delete(reply);
}

void CheckError(const MonitorErrorInfo& info) {
    std::string report;
    if (!ErrorReport(info, &report)) return;
    cJSON* parsed = ParseOrDie(report);
    const cJSON* params = cJSON_GetObjectItem(parsed, "params");
    ExpectText(params, "module", info.module);
    ExpectText(params, "message", info.message);
    ExpectText(params, "data", info.data);
    if (!cJSON_IsNumber(cJSON_GetObjectItem(params, "code"))) abort();
    cJSON_Delete(parsed);
}

void CheckRelay(const MonitorRelayInfo& info) {
    cJSON* parsed = ParseOrDie(RelayInfoReport(info));
    const cJSON* params = cJSON_GetObjectItem(parsed, "params");
    ExpectText(params, "recvPushTsBaseTime", info.base_);
    ExpectText(params, "handshakeTs", info.hands_shake);
    cJSON_Delete(parsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts = Split(data, size, 6);
    CheckReply(parts[0], parts[1]);
    CheckError({parts[2], parts[3], parts[4], parts[5]});
    MonitorRelayInfo relay;
    relay.base_ = parts[0];
    relay.hands_shake = parts[4];
    CheckRelay(relay);
    cJSON* version = ParseOrDie(VersionReport(VersionText({parts[0], parts[2]})));
    cJSON_Delete(version);
    return 0;
}
