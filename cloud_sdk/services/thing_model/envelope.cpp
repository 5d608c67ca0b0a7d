#include "services/thing_model/envelope.h"

#include <cjson/cJSON.h>

namespace tessera::thing {

std::string RequestEnvelope(int id, std::string_view params, std::string_view method) {
    std::string text = "{\"id\":\"" + std::to_string(id) + "\",\"version\":\"" + kEnvelopeVersion + "\",\"params\":";
    text.append(params.data(), params.size());
    text += ",\"method\":\"";
    text.append(method.data(), method.size());
    text += "\"}";
    return text;
}

std::string ResponseEnvelope(std::string_view id, int code, std::string_view data) {
    std::string text = "{\"id\":\"";
    text.append(id.data(), id.size());
    text += "\",\"code\":" + std::to_string(code) + ",\"data\":";
    text.append(data.data(), data.size());
    text += "}";
    return text;
}

bool IsJson(std::string_view text) {
    cJSON* parsed = cJSON_ParseWithLength(text.data(), text.size());
    bool ok = parsed != nullptr;
    cJSON_Delete(parsed);
    return ok;
}

}  // namespace tessera::thing
