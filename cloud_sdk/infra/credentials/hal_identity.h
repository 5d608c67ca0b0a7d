// The device identity as the platform layer holds it.
#pragma once

#include <string>

#include "infra/credentials/device_credentials.h"

namespace tessera {

DeviceIdentity HalDeviceIdentity();
std::string HalFirmwareVersion();

}  // namespace tessera
