// How the message service's upstream messages reach the cloud device SDK. The SDK's own calls sit behind
// this interface so that tests see exactly what would be sent, without a broker.
#pragma once

#include <memory>
#include <string>

#include "tessera_mqtt.h"

class CloudPublisher {
public:
    virtual ~CloudPublisher() = default;
    // A publish on the process's MQTT connection: the packet id for QoS 1, 0 for QoS 0, negative on failure.
    virtual int Publish(const char* topic, zenq_mqtt_topic_info_t* info) = 0;
    // A property post; params is wrapped in the thing-model envelope. The message id, or negative.
    virtual int ReportProperty(int dev_id, const std::string& params) = 0;
    // A post of the event named event. The message id, or negative.
    virtual int TriggerEvent(int dev_id, const std::string& event, const std::string& params) = 0;
    // The next value of the cloud device SDK's message counter, which its own requests share.
    virtual int NextReportId() = 0;
};

// The cloud device SDK itself.
std::shared_ptr<CloudPublisher> MakeTesseraPublisher();
