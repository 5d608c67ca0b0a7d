#include "services/thing_model/upstream.h"

#include "infra/mqtt/process_client.h"
#include "infra/mqtt/report_id.h"
#include "infra/utils/sdk_log.h"
#include "services/thing_model/envelope.h"

namespace tessera::thing {
namespace {

constexpr const char* kModule = "dm";

bool CheckedJson(const std::string& topic, const std::string& payload) {
    if (IsJson(payload)) return true;
    SDK_ERR(kModule, "Wrong JSON Format, URI: %s, Payload: %s", topic.c_str(), payload.c_str());
    return false;
}

}  // namespace

int SendPayload(const std::string& topic, std::string_view payload, uint8_t qos) {
    std::shared_ptr<mqtt::MqttClient> client = mqtt::CurrentClient();
    if (!client) return -1;
    zenq_mqtt_topic_info_t message{};
    message.qos = qos;
    message.payload = payload.data();
    message.payload_len = static_cast<uint32_t>(payload.size());
    return client->Publish(topic, message);
}

int SendRequest(const std::string& topic, std::string_view params, std::string_view method) {
    int id = NextReportId();
    std::string payload = RequestEnvelope(id, params, method);
    if (!CheckedJson(topic, payload)) return -1;
    SDK_DEBUG(kModule, "DM Send Message, URI: %s, Payload: %s", topic.c_str(), payload.c_str());
    return SendPayload(topic, payload, 0) < 0 ? -1 : id;
}

int SendResponse(const std::string& topic, std::string_view id, int code, std::string_view data) {
    std::string payload = ResponseEnvelope(id, code, data);
    if (!CheckedJson(topic, payload)) return -1;
    SDK_DEBUG(kModule, "Send URI: %s, Payload: %s", topic.c_str(), payload.c_str());
    return SendPayload(topic, payload, 0) < 0 ? -1 : 0;
}

}  // namespace tessera::thing
