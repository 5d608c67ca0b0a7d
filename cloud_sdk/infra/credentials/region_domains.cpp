#include "infra/credentials/region_domains.h"

#include "tessera_conn.h"

namespace tessera {
namespace {

// The operator's endpoints belong here. The reserved ".example" names never resolve, so a build that
// has not been given them cannot reach anyone's servers by accident; devices of other deployments set
// their broker with IOT_Ioctl(IOTX_IOCTL_SET_MQTT_DOMAIN, ...).
constexpr RegionDomains kRegionDomains[] = {
    {"iot-as-mqtt.cn-shanghai.tessera-cloud.example", "iot-auth.cn-shanghai.tessera-cloud.example"},
    {"iot-as-mqtt.ap-southeast-1.tessera-cloud.example", "iot-auth.ap-southeast-1.tessera-cloud.example"},
    {"iot-as-mqtt.ap-northeast-1.tessera-cloud.example", "iot-auth.ap-northeast-1.tessera-cloud.example"},
    {"iot-as-mqtt.us-west-1.tessera-cloud.example", "iot-auth.us-west-1.tessera-cloud.example"},
    {"iot-as-mqtt.eu-central-1.tessera-cloud.example", "iot-auth.eu-central-1.tessera-cloud.example"},
};
static_assert(sizeof(kRegionDomains) / sizeof(kRegionDomains[0]) == ZENQ_CLOUD_REGION_CUSTOM);

}  // namespace

const RegionDomains* FixedRegionDomains(int region) {
    if (region < 0 || region >= ZENQ_CLOUD_REGION_CUSTOM) return nullptr;
    return &kRegionDomains[region];
}

}  // namespace tessera
