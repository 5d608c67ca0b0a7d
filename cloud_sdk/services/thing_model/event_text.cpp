#include "services/thing_model/event_text.h"

#include <cjson/cJSON.h>

#include <memory>

namespace tessera::thing {
namespace {

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};

}  // namespace

std::string EventText(const std::vector<EventMember>& members, int devid, std::string_view payload) {
    std::unique_ptr<cJSON, JsonDeleter> object(cJSON_CreateObject());
    if (!object) return {};
    for (const EventMember& member : members) cJSON_AddStringToObject(object.get(), member.name, member.text.c_str());
    if (devid >= 0) cJSON_AddNumberToObject(object.get(), "devid", devid);
    char* printed = cJSON_PrintUnformatted(object.get());
    if (printed == nullptr) return {};
    std::string text(printed);
    cJSON_free(printed);
    if (payload.empty()) return text;
    text.pop_back();  // the closing brace
    if (text.size() > 1) text += ",";
    text += "\"payload\":";
    text.append(payload.data(), payload.size());
    text += "}";
    return text;
}

}  // namespace tessera::thing
