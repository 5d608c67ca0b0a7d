#include "services/thing_model/inbound_router.h"

#include <cjson/cJSON.h>

#include <cstdlib>
#include <memory>

#include "infra/utils/sdk_log.h"
#include "services/thing_model/event_text.h"
#include "services/thing_model/inbound_request.h"
#include "services/thing_model/upstream.h"
#include "tessera_hal.h"

namespace tessera::thing {
namespace {

constexpr const char* kModule = "dm";
constexpr int kMasterDevid = 0;
constexpr int kCodeOk = 200;
constexpr int kCodeRefused = 400;

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};

int Length(std::string_view text) { return static_cast<int>(text.size()); }

// thing.service.QueryRecordList gives QueryRecordList: the text after the second ".".
std::string_view AfterSecondDot(std::string_view method) {
    size_t first = method.find('.');
    size_t second = first == std::string_view::npos ? first : method.find('.', first + 1);
    return second == std::string_view::npos ? std::string_view() : method.substr(second + 1);
}

}  // namespace

InboundRouter::InboundRouter(const DeviceTopics& topics, UserEventQueue& queue,
                             std::function<bool()> auto_property_reply)
    : topics_(topics), queue_(queue), auto_property_reply_(std::move(auto_property_reply)) {
    for (size_t i = 0; i < contexts_.size(); ++i) contexts_[i] = KindContext{this, static_cast<InboundKind>(i)};
}

void InboundRouter::HandleMessage(void* context, void*, zenq_mqtt_event_msg_t* msg) {
    if (context == nullptr || msg == nullptr || msg->event_type != ZENQ_MQTT_EVENT_PUBLISH_RECEIVED) return;
    auto* kind_context = static_cast<KindContext*>(context);
    auto* info = static_cast<const zenq_mqtt_topic_info_t*>(msg->msg);
    kind_context->router->Route(kind_context->kind, std::string_view(info->ptopic, info->topic_len),
                                std::string_view(info->payload, info->payload_len));
}

void InboundRouter::Route(InboundKind kind, std::string_view topic, std::string_view payload) {
    switch (kind) {
        case InboundKind::kServiceCall:
            return OnServiceCall(topic, payload);
        case InboundKind::kRrpcCall:
            return OnRrpcCall(topic, payload);
        case InboundKind::kPropertySet:
            return OnPropertySet(topic, payload);
        case InboundKind::kEventNotify:
            return OnEventNotify(topic, payload);
        case InboundKind::kSdkChannel:
            return OnSdkChannel(topic, payload);
        case InboundKind::kTimeResponse:
            return OnTimeResponse(payload);
        default:
            SDK_DEBUG(kModule, "Receive Message, URI: %.*s, Payload: %.*s", Length(topic), topic.data(),
                      Length(payload), payload.data());
            return;
    }
}

void InboundRouter::OnServiceCall(std::string_view topic, std::string_view payload) {
    std::optional<InboundRequest> request = ParseInboundRequest(payload);
    if (!request || !topics_.NamesThisDevice(topic)) return;
    std::string_view service_id = AfterSlash(topic, 6);
    SDK_DEBUG(kModule, "Service Identifier: %.*s", Length(service_id), service_id.data());
    queue_.Push(UserEvent{USER_EVENT_SERVICE_REQUEST,
                          EventText({{"id", request->id}, {"serviceid", std::string(service_id)}}, kMasterDevid,
                                    request->params)});
}

void InboundRouter::OnRrpcCall(std::string_view topic, std::string_view payload) {
    std::optional<InboundRequest> request = ParseInboundRequest(payload);
    if (!request || !topics_.NamesThisDevice(topic)) return;
    std::string_view rrpc_id = AfterSlash(topic, 6);
    SDK_DEBUG(kModule, "Rrpc Id: %.*s", Length(rrpc_id), rrpc_id.data());
    std::string service_id(AfterSecondDot(request->method));
    queue_.Push(UserEvent{USER_EVENT_RRPC_REQUEST,
                          EventText({{"id", request->id}, {"serviceid", service_id}, {"rrpcid", std::string(rrpc_id)}},
                                    kMasterDevid, request->params)});
}

void InboundRouter::OnPropertySet(std::string_view topic, std::string_view payload) {
    std::optional<InboundRequest> request = ParseInboundRequest(payload);
    if (!request || !topics_.NamesThisDevice(topic)) return;
    bool queued = queue_.Push(UserEvent{USER_EVENT_PROPERTY_SET, EventText({}, kMasterDevid, request->params)});
    if (auto_property_reply_()) {
        SendResponse(topics_.Sys("thing/service/property/set_reply"), request->id, queued ? kCodeOk : kCodeRefused,
                     "{}");
    }
}

void InboundRouter::OnEventNotify(std::string_view topic, std::string_view payload) {
    std::optional<InboundRequest> request = ParseInboundRequest(payload);
    if (!request || !topics_.NamesThisDevice(topic)) return;
    bool queued = queue_.Push(UserEvent{USER_EVENT_EVENT_NOTIFY, EventText({}, kMasterDevid, request->params)});
    SendResponse(topics_.Sys("_thing/event/notify_reply"), request->id, queued ? kCodeOk : kCodeRefused, "{}");
}

void InboundRouter::OnSdkChannel(std::string_view topic, std::string_view payload) {
    if (payload.empty() || !topics_.NamesThisDevice(topic)) return;
    std::string service_id(FromSlash(topic, 4));
    queue_.Push(UserEvent{USER_EVENT_ORVIA, EventText({{"serviceid", service_id}}, kMasterDevid, payload)});
}

void InboundRouter::OnTimeResponse(std::string_view payload) {
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_ParseWithLength(payload.data(), payload.size()));
    const cJSON* server_time = cJSON_GetObjectItemCaseSensitive(root.get(), "serverSendTime");
    if (!cJSON_IsString(server_time)) return;
    char* end = nullptr;
    long long cloud_ms = std::strtoll(server_time->valuestring, &end, 10);
    if (end == server_time->valuestring || *end != '\0') return;
    HAL_UTC_Set(cloud_ms);
    queue_.Push(UserEvent{USER_EVENT_TIMESTAMP_REPLY, EventText({{"utc", server_time->valuestring}}, -1, {})});
}

}  // namespace tessera::thing
