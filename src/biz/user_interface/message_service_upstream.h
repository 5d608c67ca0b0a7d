// Upstream messages on their way from an Add operation through the network task queue to the cloud.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "biz/user_interface/message_service.h"
#include "biz/user_interface/message_service_publisher.h"

// Where a message service's queued messages go. Closed when the service is destroyed: the messages it
// left in the queue are then discarded, never sent through a service that no longer exists.
class UpstreamChannel {
public:
    explicit UpstreamChannel(std::shared_ptr<CloudPublisher> publisher) : publisher_(std::move(publisher)) {}

    void Close() { open_ = false; }
    bool IsOpen() const { return open_; }
    CloudPublisher& publisher() const { return *publisher_; }
    // Only while no message is queued.
    void set_publisher(std::shared_ptr<CloudPublisher> publisher) { publisher_ = std::move(publisher); }

private:
    std::atomic<bool> open_{true};
    std::shared_ptr<CloudPublisher> publisher_;
};

// One queued message; owned by its network task until the recycle step deletes it.
struct MqttMessage {
    MqttMessageType type = MQTT_MESSAGE_TYPE_PROPERTY;
    std::shared_ptr<UpstreamChannel> channel;
    int dev_id = 0;
    std::string key;
    std::string value;
    std::string id;
};

// Queues the message on the network task queue. 0, or -1 (the message released) when the queue does not
// run.
int QueueUpstream(std::unique_ptr<MqttMessage> message);
