#include "services/thing_model/inbound_request.h"

#include <cjson/cJSON.h>

#include <memory>

namespace tessera::thing {
namespace {

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};

const char* TextMember(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsString(item) ? item->valuestring : nullptr;
}

}  // namespace

std::optional<InboundRequest> ParseInboundRequest(std::string_view payload) {
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_ParseWithLength(payload.data(), payload.size()));
    if (!root || !cJSON_IsObject(root.get())) return std::nullopt;
    const char* id = TextMember(root.get(), "id");
    const char* version = TextMember(root.get(), "version");
    const char* method = TextMember(root.get(), "method");
    const cJSON* params = cJSON_GetObjectItemCaseSensitive(root.get(), "params");
    if (id == nullptr || version == nullptr || method == nullptr || params == nullptr) return std::nullopt;
    char* params_text = cJSON_PrintUnformatted(params);
    if (params_text == nullptr) return std::nullopt;
    InboundRequest request{id, method, params_text};
    cJSON_free(params_text);
    return request;
}

}  // namespace tessera::thing
