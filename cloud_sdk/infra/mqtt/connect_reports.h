// What a device reports right after connecting: its module and partner ids and its firmware version.
#pragma once

#include "infra/mqtt/mqtt_client.h"

namespace tessera::mqtt {

// Publishes the reports with QoS 1; a failed one is logged and does not stop the others.
void PublishConnectReports(MqttClient& client);

}  // namespace tessera::mqtt
