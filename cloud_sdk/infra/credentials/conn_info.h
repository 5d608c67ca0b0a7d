// Where and as whom the device connects: worked out from its identity and the IOT_Ioctl settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "infra/credentials/device_credentials.h"
#include "infra/credentials/sdk_options.h"

namespace tessera {

constexpr uint16_t kDefaultMqttPort = 443;

struct ConnInfo {
    uint16_t port = kDefaultMqttPort;
    std::string host;
    std::string client_id;
    std::string username;
    std::string password;
};

// The broker's host name; nullopt when the region has no domain (the custom region without a domain).
std::optional<std::string> BrokerHost(const std::string& product_key, const SdkOptions& options);
// nullopt (after one log line) when a part cannot be made.
std::optional<ConnInfo> BuildConnInfo(const DeviceIdentity& identity, const SdkOptions& options);
// From the identity held by the platform layer, getting the device secret by dynamic registration
// when that is switched on.
std::optional<ConnInfo> ComputeConnInfo();

}  // namespace tessera
