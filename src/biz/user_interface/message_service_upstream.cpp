#include "biz/user_interface/message_service_upstream.h"

#include <cstring>

#include "biz/user_interface/device_dispatch.h"
#include "biz/user_interface/message_service_payloads.h"
#include "common/timer_service.h"
#include "utils/logger.h"

namespace {

struct DeviceIdentity {
    std::string product_key;
    std::string device_name;
};

// False once ov_destroy has cleared the configuration: a topic without the identity reaches no device.
bool CurrentIdentity(DeviceIdentity* identity) {
    if (!DeviceDispatch::HasInstance()) return false;
    identity->product_key = DeviceDispatch::GetInstance()->GetProductKey();
    identity->device_name = DeviceDispatch::GetInstance()->GetDeviceName();
    return !identity->product_key.empty() && !identity->device_name.empty();
}

int DiscardWithoutIdentity(const MqttMessage& message) {
    LOGW("No device identity, discard message type:%d key:%s", message.type, message.key.c_str());
    return -1;
}

int publishMsg(const MqttMessage& message, const std::string& topic, const std::string& msg, zenq_mqtt_qos_t qos) {
    LOGV("topic:%s, msg:%s", topic.c_str(), msg.c_str());
    zenq_mqtt_topic_info_t info;
    memset(&info, 0, sizeof(info));
    info.qos = static_cast<uint8_t>(qos);
    info.payload = msg.c_str();
    info.payload_len = static_cast<uint32_t>(strlen(msg.c_str()));
    const int result = message.channel->publisher().Publish(topic.c_str(), &info);
    if (result < 0) {
        LOGE("Publish msg error:%d", result);
        return -1;
    }
    return 0;
}

int SendProperty(const MqttMessage& message) {
    const int result = message.channel->publisher().ReportProperty(message.dev_id, message.value);
    if (result < 0) {
        LOGE("Post property error:%d", result);
        return -1;
    }
    return 0;
}

int SendEvent(const MqttMessage& message) {
    const int result = message.channel->publisher().TriggerEvent(message.dev_id, message.key, message.value);
    if (result < 0) {
        LOGE("Post event error:%d", result);
        return -1;
    }
    return 0;
}

int SendReply(const MqttMessage& message, const std::string& topic, const std::string& reply_id,
              zenq_mqtt_qos_t qos) {
    std::string payload;
    if (!ReplyPayload(reply_id, message.value, &payload)) {
        LOGE("Reply data is not JSON, key:%s", message.key.c_str());
        return -1;
    }
    return publishMsg(message, topic, payload, qos);
}

int SendServiceReply(const MqttMessage& message) {
    DeviceIdentity identity;
    if (!CurrentIdentity(&identity)) return DiscardWithoutIdentity(message);
    const std::string topic =
        DeviceTopic(identity.product_key, identity.device_name, "/thing/service/" + message.key + "_reply");
    return SendReply(message, topic, message.id, ZENQ_MQTT_QOS1);
}

// The payload id comes from the cloud SDK's counter; the RRPC id only names the topic.
int SendRrpcReply(const MqttMessage& message) {
    DeviceIdentity identity;
    if (!CurrentIdentity(&identity)) return DiscardWithoutIdentity(message);
    const std::string topic = DeviceTopic(identity.product_key, identity.device_name, "/rrpc/response/" + message.id);
    const int report_id = message.channel->publisher().NextReportId();
    return SendReply(message, topic, std::to_string(report_id), ZENQ_MQTT_QOS0);
}

int SendOrvia(const MqttMessage& message) {
    DeviceIdentity identity;
    if (!CurrentIdentity(&identity)) return DiscardWithoutIdentity(message);
    return publishMsg(message, DeviceTopic(identity.product_key, identity.device_name, message.key), message.value,
                      ZENQ_MQTT_QOS1);
}

using Sender = int (*)(const MqttMessage& message);
const Sender kSenders[MQTT_MESSAGE_TYPE_MAX] = {
    SendProperty,      // MQTT_MESSAGE_TYPE_PROPERTY
    SendEvent,         // MQTT_MESSAGE_TYPE_EVENT
    SendServiceReply,  // MQTT_MESSAGE_TYPE_SERVICE
    SendRrpcReply,     // MQTT_MESSAGE_TYPE_RRPC
    SendOrvia,         // MQTT_MESSAGE_TYPE_ORVIA
};

void ProcessMessage(void* arg) {
    LOGV("handler dispatch");
    const MqttMessage* message = static_cast<const MqttMessage*>(arg);
    if (message == nullptr || message->channel == nullptr || message->type < MQTT_MESSAGE_TYPE_PROPERTY ||
        message->type >= MQTT_MESSAGE_TYPE_MAX) {
        LOGE("Illegal entity");
        return;
    }
    LOGV("dispatch:%d", message->type);
    if (!message->channel->IsOpen()) {
        LOGD("Message service stopped, discard message type:%d key:%s", message->type, message->key.c_str());
        return;
    }
    kSenders[message->type](*message);
}

void RecycleMessage(void* arg) { delete static_cast<MqttMessage*>(arg); }

}  // namespace

int QueueUpstream(std::unique_ptr<MqttMessage> message) {
    TimerTaskProperty task;
    task.process = ProcessMessage;
    task.recycle = RecycleMessage;
    task.arg = message.get();
    if (TimerService::GetNetworkInstance()->AddTask(task, 0) != 0) return -1;
    message.release();
    return 0;
}
