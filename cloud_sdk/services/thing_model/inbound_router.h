// Turns the cloud's messages on the device's topics into user events (and the immediate replies).
#pragma once

#include <array>
#include <functional>
#include <string_view>

#include "services/thing_model/device_subscriptions.h"
#include "services/thing_model/device_topics.h"
#include "services/thing_model/user_event_queue.h"
#include "tessera_mqtt.h"

namespace tessera::thing {

class InboundRouter {
public:
    // auto_property_reply: answer property sets at once (read on every message).
    InboundRouter(const DeviceTopics& topics, UserEventQueue& queue, std::function<bool()> auto_property_reply);
    InboundRouter(const InboundRouter&) = delete;
    InboundRouter& operator=(const InboundRouter&) = delete;

    void Route(InboundKind kind, std::string_view topic, std::string_view payload);

    // The MQTT topic handler and its context for messages of one kind.
    static void HandleMessage(void* context, void* client, zenq_mqtt_event_msg_t* msg);
    void* ContextFor(InboundKind kind) { return &contexts_[static_cast<size_t>(kind)]; }

private:
    struct KindContext {
        InboundRouter* router;
        InboundKind kind;
    };

    void OnServiceCall(std::string_view topic, std::string_view payload);
    void OnRrpcCall(std::string_view topic, std::string_view payload);
    void OnPropertySet(std::string_view topic, std::string_view payload);
    void OnEventNotify(std::string_view topic, std::string_view payload);
    void OnSdkChannel(std::string_view topic, std::string_view payload);
    void OnTimeResponse(std::string_view payload);

    const DeviceTopics& topics_;
    UserEventQueue& queue_;
    std::function<bool()> auto_property_reply_;
    std::array<KindContext, static_cast<size_t>(InboundKind::kCount)> contexts_;
};

}  // namespace tessera::thing
