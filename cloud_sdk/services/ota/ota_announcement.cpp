#include "services/ota/ota_announcement.h"

#include <cjson/cJSON.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "infra/utils/sdk_log.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "ota";

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// A text member of 1..max characters.
bool GetText(const cJSON* data, const char* key, size_t max, std::string* out) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(data, key);
    if (!cJSON_IsString(item) || item->valuestring[0] == '\0') return false;
    std::string text = item->valuestring;
    if (text.size() > max) {
        SDK_ERR(kModule, "value length of the key is too long");
        return false;
    }
    *out = std::move(text);
    return true;
}

bool ParseDecimalSize(const std::string& text, uint64_t* size) {
    if (text.empty() || text.size() > kOtaSizeTextMax || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *size = std::stoull(text);
    return true;
}

// "size" as decimal text or as a whole number.
bool GetSize(const cJSON* data, uint64_t* size) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(data, "size");
    if (cJSON_IsString(item)) return ParseDecimalSize(item->valuestring, size);
    if (!cJSON_IsNumber(item)) return false;
    double value = item->valuedouble;
    if (!(value >= 0) || value >= 1e16 || std::floor(value) != value) return false;
    *size = static_cast<uint64_t>(value);
    return true;
}

bool ParseData(const cJSON* data, OtaAnnouncement* out) {
    return GetText(data, "version", kOtaVersionMax, &out->version) && GetText(data, "url", SIZE_MAX, &out->url) &&
           GetText(data, "md5", kOtaMd5Max, &out->md5) && GetSize(data, &out->size) && out->size > 0;
}

}  // namespace

bool ParseOtaAnnouncement(const char* payload, size_t length, OtaAnnouncement* out) {
    JsonPtr root(payload != nullptr ? cJSON_ParseWithLength(payload, length) : nullptr, cJSON_Delete);
    if (!cJSON_IsObject(root.get())) {
        SDK_ERR(kModule, "invalid json doc of OTA ");
        return false;
    }
    const cJSON* message = cJSON_GetObjectItemCaseSensitive(root.get(), "message");
    if (!cJSON_IsString(message) || std::string(message->valuestring) != "success") {
        SDK_ERR(kModule, "fail state of json doc of OTA");
        return false;
    }
    const cJSON* data = cJSON_GetObjectItemCaseSensitive(root.get(), "data");
    if (!cJSON_IsObject(data)) {
        SDK_ERR(kModule, "Not 'data' key in json doc of OTA");
        return false;
    }
    if (!ParseData(data, out)) {
        SDK_ERR(kModule, "Get config parameter failed");
        return false;
    }
    return true;
}

}  // namespace tessera
