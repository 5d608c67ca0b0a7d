#include "infra/credentials/dynamic_register.h"

#include <cjson/cJSON.h>

#include <memory>

#include "infra/credentials/hmac_sign.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};

}  // namespace

std::string MakeRegisterRandom(const std::function<uint32_t(uint32_t)>& random_below) {
    static const char* const kClasses[] = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", "0123456789"};
    static const uint32_t kClassSizes[] = {26, 26, 10};
    std::string text;
    for (size_t i = 0; i < kRegisterRandomLength; ++i) {
        uint32_t cls = random_below(3) % 3;
        text.push_back(kClasses[cls][random_below(kClassSizes[cls]) % kClassSizes[cls]]);
    }
    return text;
}

std::optional<std::string> RegisterRequestBody(const std::string& product_key, const std::string& device_name,
                                               const std::string& random, const std::string& product_secret) {
    std::string text = "deviceName" + device_name + "productKey" + product_key + "random" + random;
    std::optional<std::string> sign = HmacHex(SignDigest::kSha256, product_secret, text);
    if (!sign) return std::nullopt;
    return "productKey=" + product_key + "&deviceName=" + device_name + "&random=" + random + "&sign=" + *sign +
           "&signMethod=hmacsha256";
}

std::optional<std::string> ParseRegisterReply(std::string_view reply) {
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_ParseWithLength(reply.data(), reply.size()));
    if (!root || !cJSON_IsObject(root.get())) return std::nullopt;
    const cJSON* code = cJSON_GetObjectItemCaseSensitive(root.get(), "code");
    const cJSON* data = cJSON_GetObjectItemCaseSensitive(root.get(), "data");
    if (!cJSON_IsNumber(code) || code->valuedouble != 200 || !cJSON_IsObject(data)) return std::nullopt;
    const cJSON* secret = cJSON_GetObjectItemCaseSensitive(data, "deviceSecret");
    if (!cJSON_IsString(secret) || secret->valuestring[0] == '\0') return std::nullopt;
    std::string value = secret->valuestring;
    if (value.size() > HAL_DEVICE_SECRET_LEN) return std::nullopt;
    return value;
}

}  // namespace tessera
