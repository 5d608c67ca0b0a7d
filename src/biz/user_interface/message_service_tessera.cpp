// The message service's publisher: the cloud device SDK's own calls.
#include "biz/user_interface/message_service_publisher.h"

#include "tessera_api.h"

namespace {

class TesseraPublisher : public CloudPublisher {
public:
    int Publish(const char* topic, zenq_mqtt_topic_info_t* info) override {
        return IOT_MQTT_Publish(nullptr, topic, info);
    }
    // The SDK's C calls take writable buffers; they get copies.
    int ReportProperty(int dev_id, const std::string& params) override {
        std::string payload(params);
        return IOT_Tessera_Report(dev_id, ITM_MSG_POST_PROPERTY, reinterpret_cast<unsigned char*>(&payload[0]),
                                  static_cast<int>(payload.size()));
    }
    int TriggerEvent(int dev_id, const std::string& event, const std::string& params) override {
        std::string event_id(event);
        std::string payload(params);
        return IOT_Tessera_TriggerEvent(dev_id, &event_id[0], static_cast<int>(event_id.size()), &payload[0],
                                        static_cast<int>(payload.size()));
    }
    int NextReportId() override { return IOT_Tessera_NextReportId(); }
};

}  // namespace

std::shared_ptr<CloudPublisher> MakeTesseraPublisher() { return std::make_shared<TesseraPublisher>(); }
