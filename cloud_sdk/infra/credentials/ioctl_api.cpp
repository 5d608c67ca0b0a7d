// IOT_Ioctl: one small setter or getter per option, found by table.
#include <cstring>
#include <exception>

#include "infra/credentials/sdk_options.h"
#include "infra/utils/sdk_log.h"
#include "tessera_conn.h"

namespace tessera {
namespace {

constexpr const char* kModule = "conn";

int SetRegion(void* value) {
    int region = *static_cast<int*>(value);
    if (region < 0 || region >= ZENQ_CLOUD_DOMAIN_MAX) {
        SDK_ERR(kModule, "Invalid Region: %d", region);
        return -1;
    }
    UpdateOptions([region](SdkOptions& options) { options.region = region; });
    return 0;
}

int GetRegion(void* value) {
    *static_cast<int*>(value) = CurrentOptions().region;
    return 0;
}

bool ValidDomain(const char* domain) {
    size_t length = strnlen(domain, ZENQ_CUSTOM_DOMAIN_MAXLEN + 1);
    if (length == 0 || length > ZENQ_CUSTOM_DOMAIN_MAXLEN) {
        SDK_ERR(kModule, "Invalid Domain: length %zu out of [1, %d]", length, ZENQ_CUSTOM_DOMAIN_MAXLEN);
        return false;
    }
    return true;
}

int SetMqttDomain(void* value) {
    const char* domain = static_cast<const char*>(value);
    if (!ValidDomain(domain)) return -1;
    UpdateOptions([domain](SdkOptions& options) {
        options.custom_mqtt_domain = domain;
        options.region = ZENQ_CLOUD_REGION_CUSTOM;
    });
    return 0;
}

int SetHttpDomain(void* value) {
    const char* domain = static_cast<const char*>(value);
    if (!ValidDomain(domain)) return -1;
    UpdateOptions([domain](SdkOptions& options) {
        options.custom_http_domain = domain;
        options.region = ZENQ_CLOUD_REGION_CUSTOM;
    });
    return 0;
}

int SetMqttPort(void* value) {
    uint16_t port = *static_cast<uint16_t*>(value);
    UpdateOptions([port](SdkOptions& options) { options.mqtt_port = port; });
    return 0;
}

int SetHostIsDomain(void* value) {
    bool flag = *static_cast<uint16_t*>(value) != 0;
    UpdateOptions([flag](SdkOptions& options) { options.host_is_domain = flag; });
    return 0;
}

int SetDynamicRegister(void* value) {
    bool flag = *static_cast<int*>(value) != 0;
    UpdateOptions([flag](SdkOptions& options) { options.dynamic_register = flag; });
    return 0;
}

int GetDynamicRegister(void* value) {
    *static_cast<int*>(value) = CurrentOptions().dynamic_register ? 1 : 0;
    return 0;
}

int SetEventReplies(void* value) {
    bool flag = *static_cast<int*>(value) != 0;
    UpdateOptions([flag](SdkOptions& options) { options.subscribe_event_replies = flag; });
    return 0;
}

int SetPropertySetReply(void* value) {
    bool flag = *static_cast<int*>(value) != 0;
    UpdateOptions([flag](SdkOptions& options) { options.auto_property_set_reply = flag; });
    return 0;
}

int Ignore(void*) { return 0; }

using OptionHandler = int (*)(void* value);
constexpr OptionHandler kOptionHandlers[] = {
    SetRegion,        GetRegion,          SetMqttDomain,   SetMqttPort,     SetHostIsDomain,
    SetHttpDomain,    SetDynamicRegister, GetDynamicRegister, SetEventReplies, SetEventReplies,
    SetPropertySetReply, Ignore,          Ignore,
};
static_assert(sizeof(kOptionHandlers) / sizeof(kOptionHandlers[0]) == IOTX_IOCTL_GET_SUBDEV_LOGIN + 1);

}  // namespace
}  // namespace tessera

extern "C" int IOT_Ioctl(int option, void* value) {
    using tessera::kOptionHandlers;
    if (option < 0 || value == nullptr) {
        SDK_ERR(tessera::kModule, "Invalid Parameter");
        return -1;
    }
    if (static_cast<size_t>(option) >= sizeof(kOptionHandlers) / sizeof(kOptionHandlers[0])) {
        SDK_ERR(tessera::kModule, "Unknown Ioctl Option");
        return -1;
    }
    try {
        return kOptionHandlers[option](value);
    } catch (const std::exception&) {
        return -1;
    }
}
