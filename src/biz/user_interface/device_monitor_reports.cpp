#include "biz/user_interface/device_monitor_reports.h"

#include "biz/user_interface/message_json.h"

namespace {

const char kReportVersion[] = "1.0";
const char kPictureFormat[] = "obx";

struct RelayField {
    const char* name;
    std::string MonitorRelayInfo::*member;
};

const RelayField kRelayFields[] = {
    {"recvPushTsBaseTime", &MonitorRelayInfo::base_},
    {"recvPushTs", &MonitorRelayInfo::recv_push},
    {"startRtmpTs", &MonitorRelayInfo::start_rtmp},
    {"handshakeTs", &MonitorRelayInfo::hands_shake},
    {"firstIFrameTs", &MonitorRelayInfo::first_i_frame},
    {"forceIFrameTs", &MonitorRelayInfo::force_i_frame},
    {"firstIFrameAfterForceTs", &MonitorRelayInfo::first_i_frame_after_force},
};

bool AddText(cJSON* object, const char* name, const std::string& value) {
    return cJSON_AddStringToObject(object, name, value.c_str()) != nullptr;
}

// {"version":"1.0","method":<method>,"params":<params>}; empty when out of memory.
std::string MonitorReport(const char* method, CJsonPtr params) {
    CJsonPtr report(cJSON_CreateObject());
    if (report == nullptr || params == nullptr || !AddText(report.get(), "version", kReportVersion) ||
        !AddText(report.get(), "method", method) || !cJSON_AddItemToObject(report.get(), "params", params.get())) {
        return std::string();
    }
    params.release();  // owned by report now
    return PrintJson(report.get());
}

// -?(0|[1-9][0-9]*): the integers that JSON writes as they are.
bool IsDecimalInteger(const std::string& text) {
    size_t digits = text.compare(0, 1, "-") == 0 ? 1 : 0;
    if (digits == text.size()) return false;
    if (text[digits] == '0') return digits + 1 == text.size();
    return text.find_first_not_of("0123456789", digits) == std::string::npos;
}

}  // namespace

std::string VersionText(const std::vector<std::string>& components) {
    std::string version;
    for (const auto& component : components) version += component + "_";
    return version;
}

std::string VersionReport(const std::string& version) {
    CJsonPtr params(cJSON_CreateObject());
    if (params == nullptr || !AddText(params.get(), "version", version) ||
        !AddText(params.get(), "pic", kPictureFormat)) {
        return std::string();
    }
    return MonitorReport("IpcVersion", std::move(params));
}

std::string RelayInfoReport(const MonitorRelayInfo& info) {
    CJsonPtr params(cJSON_CreateObject());
    if (params == nullptr) return std::string();
    for (const auto& field : kRelayFields) {
        if (!AddText(params.get(), field.name, info.*field.member)) return std::string();
    }
    return MonitorReport("startLiveStreaming", std::move(params));
}

bool ErrorReport(const MonitorErrorInfo& info, std::string* report) {
    if (!IsDecimalInteger(info.code)) return false;
    CJsonPtr params(cJSON_CreateObject());
    if (params == nullptr || !AddText(params.get(), "module", info.module) ||
        cJSON_AddRawToObject(params.get(), "code", info.code.c_str()) == nullptr ||
        !AddText(params.get(), "message", info.message) || !AddText(params.get(), "data", info.data)) {
        return false;
    }
    *report = MonitorReport("error", std::move(params));
    return !report->empty();
}
