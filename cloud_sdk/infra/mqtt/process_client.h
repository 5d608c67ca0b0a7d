// The one MQTT client of the process, shared by the C interface and the thing model.
#pragma once

#include <memory>

#include "infra/mqtt/mqtt_client.h"

namespace tessera::mqtt {

// The client, or null before IOT_MQTT_Construct succeeded and after IOT_MQTT_Destroy.
std::shared_ptr<MqttClient> CurrentClient();
// The client when handle names it (null handle: the current one); null otherwise.
std::shared_ptr<MqttClient> ResolveClient(void* handle);

}  // namespace tessera::mqtt
