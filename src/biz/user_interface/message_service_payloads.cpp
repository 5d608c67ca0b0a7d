#include "biz/user_interface/message_service_payloads.h"

#include "biz/user_interface/message_json.h"

namespace {
const int kReplyCodeOk = 200;
}

std::string DeviceTopic(const std::string& product_key, const std::string& device_name, const std::string& suffix) {
    return "/sys/" + product_key + "/" + device_name + suffix;
}

bool ReplyPayload(const std::string& id, const std::string& data, std::string* payload) {
    if (!IsJsonValue(data)) return false;
    CJsonPtr reply(cJSON_CreateObject());
    if (reply == nullptr || cJSON_AddStringToObject(reply.get(), "id", id.c_str()) == nullptr ||
        cJSON_AddNumberToObject(reply.get(), "code", kReplyCodeOk) == nullptr ||
        cJSON_AddRawToObject(reply.get(), "data", data.c_str()) == nullptr) {
        return false;
    }
    *payload = PrintJson(reply.get());
    return !payload->empty();
}
