// The thing-model layer of the master device: connection, subscriptions, reports, queries, events.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "services/ota/ota_service.h"
#include "services/thing_model/device_topics.h"
#include "services/thing_model/inbound_router.h"
#include "services/thing_model/user_event_queue.h"
#include "tessera_api.h"

namespace tessera::thing {

class ThingModel {
public:
    // Stores the identity in the platform layer; the OTA topics are subscribed as soon as a client exists.
    explicit ThingModel(const zenq_tessera_dev_meta_info_t& meta);
    ~ThingModel();
    ThingModel(const ThingModel&) = delete;
    ThingModel& operator=(const ThingModel&) = delete;

    int Connect();
    void Yield(int timeout_ms);
    int Report(int msg_type, std::string_view payload);
    int Query(int msg_type, unsigned char* buffer, int length);
    int TriggerEvent(std::string_view event_id, std::string_view payload);

    bool yielding() const { return yielding_.load(); }
    bool connected() const { return connected_.load(); }

private:
    static void OnMqttEvent(void* context, void* client, zenq_mqtt_event_msg_t* msg);
    static void OnOtaMessage(void* context, void* client, zenq_mqtt_event_msg_t* msg);
    bool ConnectWithinBudget();
    void SubscribeDeviceTopics();
    void NotifyFirmwareAnnouncement();

    DeviceTopics topics_;
    UserEventQueue queue_;
    InboundRouter router_;
    OtaService ota_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> yielding_{false};
};

}  // namespace tessera::thing
