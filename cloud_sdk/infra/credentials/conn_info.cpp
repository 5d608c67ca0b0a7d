#include "infra/credentials/conn_info.h"

#include "infra/credentials/dynamic_register.h"
#include "infra/credentials/hal_identity.h"
#include "infra/credentials/region_domains.h"
#include "infra/utils/sdk_log.h"
#include "tessera_conn.h"

namespace tessera {
namespace {

constexpr const char* kModule = "conn";

}  // namespace

std::optional<std::string> BrokerHost(const std::string& product_key, const SdkOptions& options) {
    if (options.region == ZENQ_CLOUD_REGION_CUSTOM) {
        if (options.custom_mqtt_domain.empty()) return std::nullopt;
        if (options.host_is_domain) return options.custom_mqtt_domain;
        return product_key + "." + options.custom_mqtt_domain;
    }
    const RegionDomains* domains = FixedRegionDomains(options.region);
    if (domains == nullptr) return std::nullopt;
    return product_key + "." + domains->mqtt;
}

std::optional<ConnInfo> BuildConnInfo(const DeviceIdentity& identity, const SdkOptions& options) {
    ConnInfo info;
    info.port = options.mqtt_port != 0 ? options.mqtt_port : kDefaultMqttPort;
    std::optional<std::string> host = BrokerHost(identity.product_key, options);
    std::optional<std::string> client_id = MakeClientId(identity);
    std::optional<std::string> password = MakePassword(identity);
    if (!host || host->size() > ZENQ_HOST_MAXLEN) {
        SDK_ERR(kModule, "No MQTT host for region %d", options.region);
        return std::nullopt;
    }
    if (!client_id || !password) {
        SDK_ERR(kModule, "Sign failed");
        return std::nullopt;
    }
    info.host = *host;
    info.client_id = *client_id;
    info.username = MakeUsername(identity);
    info.password = *password;
    return info;
}

std::optional<ConnInfo> ComputeConnInfo() {
    SdkOptions options = CurrentOptions();
    DeviceIdentity identity = HalDeviceIdentity();
    if (options.dynamic_register) {
        std::optional<std::string> secret = ObtainDeviceSecret(options);
        if (!secret) return std::nullopt;
        identity.device_secret = *secret;
    }
    if (identity.device_secret.empty()) {
        SDK_ERR(kModule, "Invalid argument, %s = '%s'", "device_secret", "");
        return std::nullopt;
    }
    return BuildConnInfo(identity, options);
}

}  // namespace tessera
