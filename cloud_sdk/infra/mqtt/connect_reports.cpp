#include "infra/mqtt/connect_reports.h"

#include <string>

#include "infra/credentials/hal_identity.h"
#include "infra/mqtt/report_id.h"
#include "infra/utils/sdk_log.h"

namespace tessera::mqtt {
namespace {

constexpr const char* kModule = "mqtt";

bool PublishQos1(MqttClient& client, const std::string& topic, const std::string& payload) {
    zenq_mqtt_topic_info_t message{};
    message.qos = ZENQ_MQTT_QOS1;
    message.payload = payload.c_str();
    message.payload_len = static_cast<uint32_t>(payload.size());
    return client.Publish(topic, message) >= 0;
}

}  // namespace

void PublishConnectReports(MqttClient& client) {
    const DeviceIdentity identity = HalDeviceIdentity();
    const std::string prefix = identity.product_key + "/" + identity.device_name;

    std::string mid_payload = "{\"id\":\"" + std::to_string(NextReportId()) + "\",\"params\":{\"_sys_device_mid\":\"" +
                              identity.module_id + "\",\"_sys_device_pid\":\"" + identity.partner_id + "\"}}";
    if (!PublishQos1(client, "/sys/" + prefix + "/thing/status/update", mid_payload)) {
        SDK_ERR(kModule, "failed to report mid");
    }
    std::string version_payload =
        "{\"id\":\"" + std::to_string(NextReportId()) + "\",\"params\":{\"version\":\"" + HalFirmwareVersion() + "\"}}";
    if (!PublishQos1(client, "/ota/device/inform/" + prefix, version_payload)) {
        SDK_ERR(kModule, "failed to report firmware version");
    }
}

}  // namespace tessera::mqtt
