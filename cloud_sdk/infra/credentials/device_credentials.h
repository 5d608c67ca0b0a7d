// The MQTT client id, user name and password the cloud expects from a device.
#pragma once

#include <optional>
#include <string>

namespace tessera {

struct DeviceIdentity {
    std::string product_key;
    std::string device_name;
    std::string device_secret;
    std::string partner_id;  // empty: left out of the client id
    std::string module_id;   // empty: left out of the client id
};

// The cloud checks the sign against this fixed timestamp.
constexpr const char* kSignTimestamp = "2524608000000";

std::string DeviceId(const DeviceIdentity& identity);
// nullopt when the client id would exceed 255 characters.
std::optional<std::string> MakeClientId(const DeviceIdentity& identity);
std::string MakeUsername(const DeviceIdentity& identity);
// HMAC-SHA1 keyed with the device secret; nullopt when the secret or the signed text is too long.
std::optional<std::string> MakePassword(const DeviceIdentity& identity);

}  // namespace tessera
