#include "infra/credentials/hal_identity.h"

#include "tessera_hal.h"

namespace tessera {
namespace {

template <size_t N, typename Getter>
std::string HalText(Getter getter) {
    char buffer[N + 1] = {};
    getter(buffer);
    return buffer;
}

}  // namespace

DeviceIdentity HalDeviceIdentity() {
    DeviceIdentity identity;
    identity.product_key = HalText<HAL_PRODUCT_KEY_LEN>(HAL_GetProductKey);
    identity.device_name = HalText<HAL_DEVICE_NAME_LEN>(HAL_GetDeviceName);
    identity.device_secret = HalText<HAL_DEVICE_SECRET_LEN>(HAL_GetDeviceSecret);
    identity.partner_id = HalText<HAL_PARTNER_ID_LEN>(HAL_GetPartnerID);
    identity.module_id = HalText<HAL_MODULE_ID_LEN>(HAL_GetModuleID);
    return identity;
}

std::string HalFirmwareVersion() { return HalText<HAL_FIRMWARE_VERSION_LEN>(HAL_GetFirmwareVersion); }

}  // namespace tessera
