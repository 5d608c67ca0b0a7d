// The process-wide settings made through IOT_Ioctl.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessera {

struct SdkOptions {
    int region = 0;  // ZENQ_CLOUD_REGION_TYPES
    std::string custom_mqtt_domain;
    std::string custom_http_domain;
    uint16_t mqtt_port = 0;       // 0: the default port
    bool host_is_domain = false;  // the custom MQTT domain is the whole host name
    bool dynamic_register = false;
    bool subscribe_event_replies = false;
    bool auto_property_set_reply = true;
};

// A copy of the current settings; safe from any thread.
SdkOptions CurrentOptions();
// Applies change to the settings under their lock.
void UpdateOptions(const std::function<void(SdkOptions&)>& change);

}  // namespace tessera
