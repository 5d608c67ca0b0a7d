// Obtaining the device secret: from the key-value store, or by registering with the cloud over HTTPS.
#include <string>

#include "infra/credentials/dynamic_register.h"
#include "infra/credentials/region_domains.h"
#include "infra/utils/sdk_log.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_httpclient.h"

namespace tessera {
namespace {

constexpr const char* kModule = "dynreg";
constexpr uint32_t kRegisterTimeoutMs = 10000;
constexpr int kRegisterPort = 443;
constexpr int kReplyCapacity = 1024;

std::optional<std::string> StoredSecret() {
    char buffer[HAL_DEVICE_SECRET_LEN + 1] = {};
    int len = HAL_DEVICE_SECRET_LEN;
    if (HAL_Kv_Get(kDeviceSecretKvKey, buffer, &len) != 0 || len <= 0) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(len));
}

std::optional<std::string> HttpDomain(const SdkOptions& options) {
    if (options.region == ZENQ_CLOUD_REGION_CUSTOM) {
        if (options.custom_http_domain.empty()) return std::nullopt;
        return options.custom_http_domain;
    }
    const RegionDomains* domains = FixedRegionDomains(options.region);
    if (domains == nullptr) return std::nullopt;
    return std::string(domains->http);
}

// POSTs the form and returns the reply body, or nullopt after logging why.
std::optional<std::string> PostRegistration(const std::string& domain, const std::string& body) {
    std::string url = "https://" + domain + "/auth/register/device";
    http_conn_rec connection{};
    connection.extra_headers = "Accept: text/xml,text/javascript,text/html,application/json\r\n";
    std::string reply(kReplyCapacity + 1, '\0');
    http_exchange_rec exchange{};
    exchange.post_buf = body.c_str();
    exchange.post_len = static_cast<int>(body.size());
    exchange.request_content_type = "application/x-www-form-urlencoded";
    exchange.reply_buf = &reply[0];
    exchange.reply_capacity = kReplyCapacity;
    int rc = httpclient_common(&connection, url.c_str(), kRegisterPort, HAL_GetCACert(), HTTPCLIENT_POST,
                               kRegisterTimeoutMs, &exchange);
    bool complete = rc == 0 && !exchange.body_pending;
    httpclient_close(&connection);
    if (!complete) {
        SDK_ERR(kModule, "Http Download Failed");
        return std::nullopt;
    }
    reply.resize(reply.find('\0'));
    return reply;
}

std::optional<std::string> Register(const SdkOptions& options) {
    char product_key[HAL_PRODUCT_KEY_LEN + 1] = {};
    char device_name[HAL_DEVICE_NAME_LEN + 1] = {};
    char product_secret[HAL_PRODUCT_SECRET_LEN + 1] = {};
    HAL_GetProductKey(product_key);
    HAL_GetDeviceName(device_name);
    HAL_GetProductSecret(product_secret);
    if (product_secret[0] == '\0') {
        SDK_ERR(kModule, "Product Secret Is Not Exist");
        return std::nullopt;
    }
    std::optional<std::string> domain = HttpDomain(options);
    if (!domain) return std::nullopt;
    HAL_Srandom(static_cast<uint32_t>(HAL_UptimeMs()));
    std::string random = MakeRegisterRandom([](uint32_t below) { return HAL_Random(below); });
    std::optional<std::string> body = RegisterRequestBody(product_key, device_name, random, product_secret);
    if (!body) return std::nullopt;
    std::optional<std::string> reply = PostRegistration(*domain, *body);
    if (!reply) return std::nullopt;
    std::optional<std::string> secret = ParseRegisterReply(*reply);
    if (!secret) SDK_ERR(kModule, "Http Response Payload Parse Failed");
    return secret;
}

}  // namespace

std::optional<std::string> ObtainDeviceSecret(const SdkOptions& options) {
    if (std::optional<std::string> stored = StoredSecret()) {
        SDK_INFO(kModule, "Get DeviceSecret from KV succeed");
        HAL_SetDeviceSecret(stored->c_str());
        return stored;
    }
    SDK_INFO(kModule, "DeviceSecret KV not exist, Now We Need Dynamic Register...");
    std::optional<std::string> secret = Register(options);
    if (!secret) {
        SDK_ERR(kModule, "Dynamic Register Failed");
        return std::nullopt;
    }
    if (HAL_Kv_Set(kDeviceSecretKvKey, secret->c_str(), static_cast<int>(secret->size())) != 0) {
        SDK_ERR(kModule, "Save Device Secret to KV Failed");
    }
    HAL_SetDeviceSecret(secret->c_str());
    return secret;
}

}  // namespace tessera
