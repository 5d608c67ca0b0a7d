#include "services/thing_model/thing_model.h"

#include "infra/credentials/conn_info.h"
#include "infra/credentials/sdk_options.h"
#include "infra/mqtt/process_client.h"
#include "infra/utils/sdk_log.h"
#include "services/thing_model/device_subscriptions.h"
#include "services/thing_model/event_dispatcher.h"
#include "services/thing_model/upstream.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_mqtt.h"

namespace tessera::thing {
namespace {

constexpr const char* kModule = "dm";
constexpr uint32_t kConnectBudgetMs = 10000;
constexpr uint32_t kConnectRetryMs = 500;
constexpr uint32_t kSubscribeTimeoutMs = 5000;
constexpr int kSubscribeTries = 3;
constexpr size_t kDispatchPerYield = 50;

int OtaPublish(const std::string& topic, const std::string& payload, int qos) {
    return SendPayload(topic, payload, static_cast<uint8_t>(qos));
}

}  // namespace

ThingModel::ThingModel(const zenq_tessera_dev_meta_info_t& meta)
    : topics_(meta.product_key, meta.device_name),
      router_(topics_, queue_, [] { return CurrentOptions().auto_property_set_reply; }),
      ota_(meta.product_key, meta.device_name, &OtaPublish) {
    HAL_SetProductKey(meta.product_key);
    HAL_SetDeviceName(meta.device_name);
    HAL_SetDeviceSecret(meta.device_secret);
    HAL_SetProductSecret(meta.product_secret);
    IOT_MQTT_Subscribe(nullptr, ota_.UpgradeTopic().c_str(), ZENQ_MQTT_QOS1, &ThingModel::OnOtaMessage, this);
    IOT_MQTT_Subscribe(nullptr, ota_.RequestTopic().c_str(), ZENQ_MQTT_QOS1, &ThingModel::OnOtaMessage, this);
}

ThingModel::~ThingModel() {
    void* client = nullptr;
    IOT_MQTT_Destroy(&client);
}

bool ThingModel::ConnectWithinBudget() {
    const uint64_t deadline = HAL_UptimeMs() + kConnectBudgetMs;
    do {
        std::optional<ConnInfo> info = ComputeConnInfo();
        if (info) {
            zenq_mqtt_init_params_t params{};
            params.port = info->port;
            params.host = info->host.c_str();
            params.client_id = info->client_id.c_str();
            params.username = info->username.c_str();
            params.password = info->password.c_str();
            params.pub_key = HAL_GetCACert();
            params.request_timeout_ms = 2000;
            params.keepalive_interval_ms = 60000;
            params.write_buf_size = 16384;
            params.read_buf_size = 16384;
            params.handle_event.h_fp = &ThingModel::OnMqttEvent;
            params.handle_event.pcontext = this;
            if (IOT_MQTT_Construct(&params) != nullptr) return true;
        }
        HAL_SleepMs(kConnectRetryMs);
    } while (HAL_UptimeMs() < deadline);
    SDK_ERR(kModule, "mqtt connect failed");
    return false;
}

int ThingModel::Connect() {
    if (!ConnectWithinBudget()) {
        SDK_ERR(kModule, "DM Start Failed");
        return -1;
    }
    queue_.Push(UserEvent{USER_EVENT_CLOUD_CONNECTED, {}});
    queue_.Push(UserEvent{USER_EVENT_MQTT_CONNECTED, {}});
    SubscribeDeviceTopics();
    queue_.Push(UserEvent{USER_EVENT_INITIALIZE_COMPLETED, "{\"devid\":0}"});
    connected_ = true;
    return 0;
}

void ThingModel::SubscribeDeviceTopics() {
    std::shared_ptr<mqtt::MqttClient> client = mqtt::CurrentClient();
    if (!client) {
        SDK_ERR(kModule, "DM Subscribe Failed");
        return;
    }
    const bool event_replies = CurrentOptions().subscribe_event_replies;
    for (const SubscriptionRow& row : DeviceSubscriptions(topics_)) {
        if (row.kind == InboundKind::kEventPostReply && !event_replies) {
            client->Unsubscribe(row.filter);
            continue;
        }
        int result = -1;
        for (int attempt = 0; attempt < kSubscribeTries && result != 0; ++attempt) {
            result = client->SubscribeSync(row.filter, ZENQ_MQTT_QOS0, &InboundRouter::HandleMessage,
                                           router_.ContextFor(row.kind), kSubscribeTimeoutMs);
        }
        if (result != 0) SDK_ERR(kModule, "subscribe %s failed, skipped", row.filter.c_str());
    }
}

void ThingModel::OnMqttEvent(void* context, void*, zenq_mqtt_event_msg_t* msg) {
    auto* self = static_cast<ThingModel*>(context);
    switch (msg->event_type) {
        case ZENQ_MQTT_EVENT_DISCONNECT:
            self->queue_.Push(UserEvent{USER_EVENT_CLOUD_DISCONNECTED, {}});
            break;
        case ZENQ_MQTT_EVENT_RECONNECT:
            self->queue_.Push(UserEvent{USER_EVENT_CLOUD_CONNECTED, {}});
            break;
        case ZENQ_MQTT_EVENT_PUBLISH_RECEIVED: {
            auto* info = static_cast<const zenq_mqtt_topic_info_t*>(msg->msg);
            SDK_DEBUG(kModule, "message on an unsubscribed topic: %.*s", static_cast<int>(info->topic_len), info->ptopic);
            break;
        }
        default:
            break;
    }
}

void ThingModel::OnOtaMessage(void* context, void*, zenq_mqtt_event_msg_t* msg) {
    if (msg->event_type != ZENQ_MQTT_EVENT_PUBLISH_RECEIVED) return;
    auto* info = static_cast<const zenq_mqtt_topic_info_t*>(msg->msg);
    static_cast<ThingModel*>(context)->ota_.OnMessage(info->payload, info->payload_len);
}

void ThingModel::NotifyFirmwareAnnouncement() {
    std::string text;
    if (!ota_.TakeUserNotification(&text)) return;
    SDK_INFO(kModule, "Send To User: %s", text.c_str());
    queue_.Push(UserEvent{USER_EVENT_FOTA, text});
}

void ThingModel::Yield(int timeout_ms) {
    if (!connected_) {
        HAL_SleepMs(timeout_ms > 0 ? static_cast<uint32_t>(timeout_ms) : 0);
        return;
    }
    if (timeout_ms < 1) {
        SDK_ERR(kModule, "Invalid Parameter");
        return;
    }
    yielding_ = true;
    IOT_MQTT_Yield(nullptr, timeout_ms);
    NotifyFirmwareAnnouncement();
    for (const UserEvent& event : queue_.Take(kDispatchPerYield)) DispatchUserEvent(event, topics_);
    yielding_ = false;
}

int ThingModel::Report(int msg_type, std::string_view payload) {
    if (!connected_) return -1;
    switch (msg_type) {
        case ITM_MSG_POST_PROPERTY:
            return SendRequest(topics_.Sys("thing/event/property/post"), payload, "thing.event.property.post");
        case ITM_MSG_DEVICEINFO_UPDATE:
            return SendRequest(topics_.Sys("thing/deviceinfo/update"), payload, "thing.deviceinfo.update");
        case ITM_MSG_DEVICEINFO_DELETE:
            return SendRequest(topics_.Sys("thing/deviceinfo/delete"), payload, "thing.deviceinfo.delete");
        case ITM_MSG_POST_RAW_DATA:
            return SendPayload(topics_.Sys("thing/model/up_raw"), payload, ZENQ_MQTT_QOS0) < 0 ? -1 : 0;
        default:
            if (msg_type > ITM_MSG_DELETE_TOPO) SDK_ERR(kModule, "Unknown Message Type");
            return -1;
    }
}

int ThingModel::Query(int msg_type, unsigned char* buffer, int length) {
    if (!connected_) return -1;
    switch (msg_type) {
        case ITM_MSG_QUERY_TIMESTAMP:
            return SendPayload(topics_.Ntp("request"), "{\"deviceSendTime\":\"1234\"}", ZENQ_MQTT_QOS0) < 0 ? -1 : 0;
        case ITM_MSG_QUERY_FOTA_DATA:
            if (buffer == nullptr || length <= 0) return -2;
            return ota_.Download(reinterpret_cast<char*>(buffer), static_cast<uint32_t>(length));
        default:
            SDK_ERR(kModule, "Unsupported Query Type: %d", msg_type);
            return -1;
    }
}

int ThingModel::TriggerEvent(std::string_view event_id, std::string_view payload) {
    if (!connected_) return -1;
    std::string id(event_id);
    return SendRequest(topics_.Sys("thing/event/" + id + "/post"), payload, "thing.event." + id + ".post");
}

}  // namespace tessera::thing
