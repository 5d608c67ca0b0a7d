#include "services/thing_model/event_dispatcher.h"

#include <cjson/cJSON.h>

#include <cstring>
#include <memory>
#include <string>

#include "infra/utils/sdk_log.h"
#include "services/thing_model/handler_registry.h"
#include "services/thing_model/upstream.h"
#include "tessera_hal.h"

namespace tessera::thing {
namespace {

constexpr const char* kModule = "dm";

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};

// The members an event may carry, parsed and checked for their JSON types.
struct EventMembers {
    std::unique_ptr<cJSON, JsonDeleter> root;
    const char* id = nullptr;
    const char* serviceid = nullptr;
    const char* rrpcid = nullptr;
    const char* version = nullptr;
    const char* utc = nullptr;
    int devid = -1;
    std::string payload;  // an object's text, empty when the payload is missing or not an object

    explicit EventMembers(const std::string& text) : root(cJSON_Parse(text.c_str())) {
        if (!root) return;
        id = Text("id");
        serviceid = Text("serviceid");
        rrpcid = Text("rrpcid");
        version = Text("version");
        utc = Text("utc");
        const cJSON* devid_item = cJSON_GetObjectItemCaseSensitive(root.get(), "devid");
        if (cJSON_IsNumber(devid_item)) devid = devid_item->valueint;
        const cJSON* payload_item = cJSON_GetObjectItemCaseSensitive(root.get(), "payload");
        if (cJSON_IsObject(payload_item)) {
            char* printed = cJSON_PrintUnformatted(payload_item);
            if (printed != nullptr) payload = printed;
            cJSON_free(printed);
        }
    }
    const char* Text(const char* name) const {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(root.get(), name);
        return cJSON_IsString(item) ? item->valuestring : nullptr;
    }
    bool HasDevicePayload() const { return devid >= 0 && !payload.empty(); }
};

int Length(const char* text) { return static_cast<int>(std::strlen(text)); }

void PublishServiceResponse(const std::string& topic, const char* id, int result, char* response, int response_len) {
    if (response == nullptr) return;
    if (response_len > 0) {
        SendResponse(topic, id, result == 0 ? 200 : 400, std::string_view(response, static_cast<size_t>(response_len)));
    }
    HAL_Free(response);
}

void CallService(const EventMembers& m, const DeviceTopics& topics, bool rrpc) {
    zenq_service_request_handler_t handler = CurrentHandlers().service_request;
    const char* handler_id = rrpc ? m.rrpcid : m.id;
    if (handler == nullptr || handler_id == nullptr || m.id == nullptr || m.serviceid == nullptr ||
        !m.HasDevicePayload()) {
        return;
    }
    char* response = nullptr;
    int response_len = 0;
    int result = handler(m.devid, handler_id, Length(handler_id), m.serviceid, Length(m.serviceid), m.payload.c_str(),
                         static_cast<int>(m.payload.size()), &response, &response_len);
    std::string topic = rrpc ? topics.Sys("rrpc/response/" + std::string(m.rrpcid))
                             : topics.Sys("thing/service/" + std::string(m.serviceid) + "_reply");
    PublishServiceResponse(topic, m.id, result, response, response_len);
}

void CallDeviceHandler(const EventMembers& m, int (*handler)(const int, const char*, const int)) {
    if (handler != nullptr && m.HasDevicePayload()) handler(m.devid, m.payload.c_str(), static_cast<int>(m.payload.size()));
}

}  // namespace

void DispatchUserEvent(const UserEvent& event, const DeviceTopics& topics) {
    UserHandlers handlers = CurrentHandlers();
    switch (event.type) {
        case USER_EVENT_CLOUD_CONNECTED:
            if (handlers.connect_succ != nullptr) handlers.connect_succ();
            return;
        case USER_EVENT_CLOUD_DISCONNECTED:
            if (handlers.disconnected != nullptr) handlers.disconnected();
            return;
        case USER_EVENT_MQTT_CONNECTED:
            if (handlers.mqtt_connect_succ != nullptr) handlers.mqtt_connect_succ();
            return;
        default:
            break;
    }
    EventMembers m(event.text);
    if (!m.root) {
        SDK_WARN(kModule, "user event %d dropped: not JSON", event.type);
        return;
    }
    switch (event.type) {
        case USER_EVENT_INITIALIZE_COMPLETED:
            if (handlers.initialize_completed != nullptr && m.devid >= 0) handlers.initialize_completed(m.devid);
            break;
        case USER_EVENT_PROPERTY_SET:
            CallDeviceHandler(m, handlers.property_set);
            break;
        case USER_EVENT_EVENT_NOTIFY:
            CallDeviceHandler(m, handlers.event_notify);
            break;
        case USER_EVENT_SERVICE_REQUEST:
            CallService(m, topics, false);
            break;
        case USER_EVENT_RRPC_REQUEST:
            CallService(m, topics, true);
            break;
        case USER_EVENT_ORVIA:
            if (handlers.orvia != nullptr && m.serviceid != nullptr && m.HasDevicePayload()) {
                handlers.orvia(m.devid, m.serviceid, Length(m.serviceid), m.payload.c_str(),
                               static_cast<int>(m.payload.size()));
            }
            break;
        case USER_EVENT_FOTA:
            if (handlers.fota != nullptr && m.version != nullptr) handlers.fota(0, m.version);
            break;
        case USER_EVENT_TIMESTAMP_REPLY:
            if (handlers.timestamp_reply != nullptr && m.utc != nullptr) handlers.timestamp_reply(m.utc);
            break;
        default:
            SDK_WARN(kModule, "user event %d has no handler kind", event.type);
            break;
    }
}

}  // namespace tessera::thing
