#include "biz/streaming/stream_manager.h"

#include "utils/logger.h"

namespace {

int Present(const RelayService* relay_service) { return relay_service != nullptr ? 1 : 0; }

}  // namespace

StreamManager::StreamManager(StreamManagerDelegate& delegate, Registry::Delay delay)
    : delegate_(delegate), dispatch_(this, std::move(delay)) {}

StreamManager::~StreamManager() { dispatch_.Clear(); }

int StreamManager::Bind(const StreamManagerProperty& property, int& id) {
    if (dispatch_.Bind(property, id) < 0) {
        LOGE("Bind new service failed");
        return -1;
    }
    delegate_.OnServiceBound(id);
    return 0;
}

int StreamManager::Unbind(int id) {
    if (dispatch_.Unbind(id) < 0) {
        LOGE("Unbind failed, id = %d", id);
        return -1;
    }
    delegate_.OnServiceUnbound(id);
    return 0;
}

int StreamManager::Update(const StreamManagerProperty& property, int condition, int id) {
    if (dispatch_.Update(property, condition, id) < 0) {
        LOGE("Update failed, id = %d", id);
        return -1;
    }
    return 0;
}

std::shared_ptr<StreamManagerProperty> StreamManager::Pop(int id) const { return dispatch_.Pop(id); }

void StreamManager::Clear() { dispatch_.Clear(); }

int StreamManager::Query(const StreamManagerProperty& property, int condition, int& id) const {
    return dispatch_.Query(property, condition, id);
}

void StreamManager::QueryNum(const StreamManagerProperty& property, int condition, unsigned int& num) const {
    dispatch_.QueryNum(property, condition, num);
}

void StreamManager::Traverse() const { dispatch_.Traverse(); }

int StreamManager::equal(const StreamManagerProperty& target, const StreamManagerProperty& query, int condition) {
    if (query.service_type == STREAM_SERVICE_ERROR || target.service_type == STREAM_SERVICE_ERROR) {
        LOGE("Service type is the key value, please value it");
        return -1;
    }
    bool match = false;
    switch (condition) {
        case STREAM_SERVICE_CONDITION_SERVICE_TYPE:
            match = target.service_type == query.service_type;
            break;
        case STREAM_SERVICE_CONDITION_STREAM_TYPE:
            match = target.service_type == query.service_type && target.stream_type == query.stream_type;
            break;
        case STREAM_SERVICE_CONDITION_RTC_SERVICE:
            match = target.rtc_available == query.rtc_available;
            break;
        default:  // a relay service is never a search key
            break;
    }
    return match ? 0 : -1;
}

void StreamManager::assign(StreamManagerProperty& target, const StreamManagerProperty& source, int condition) {
    switch (condition) {
        case STREAM_SERVICE_CONDITION_SERVICE_TYPE:
            target.service_type = source.service_type.load();
            break;
        case STREAM_SERVICE_CONDITION_STREAM_TYPE:
            target.stream_type = source.stream_type.load();
            break;
        case STREAM_SERVICE_CONDITION_RELAY_SERVICE:
            target.relay_service = source.relay_service.load();
            break;
        case STREAM_SERVICE_CONDITION_RTC_SERVICE:
            target.rtc_available = source.rtc_available.load();
            break;
        default:
            break;
    }
}

void StreamManager::release(const StreamManagerProperty& property) {
    RelayService* relay_service = property.relay_service;
    LOGD("Start release, relay service = %d, rtc is available = %d", Present(relay_service),
         property.rtc_available ? 1 : 0);
    if (relay_service == nullptr) return;
    LOGD("Destruct relay service");
    delegate_.DestroyRelayService(relay_service);
}

void StreamManager::traverse(int id, const StreamManagerProperty& property) {
    LOGD("id = %d, service_type = %d, stream_type = %d, relay_service = %d, rtc_service = %d", id,
         static_cast<int>(property.service_type.load()), static_cast<int>(property.stream_type.load()),
         Present(property.relay_service), property.rtc_available ? 1 : 0);
}
