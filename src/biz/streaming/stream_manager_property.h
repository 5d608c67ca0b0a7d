// The registry record of one service id: what kind of session it is and what serves it.
#pragma once

#include <atomic>
#include <cstdint>

class RelayService;

enum StreamServiceType : int32_t {
    STREAM_SERVICE_ERROR = 0,  // unset: matches nothing
    STREAM_SERVICE_LIVE = 1,
    STREAM_SERVICE_STORAGE_RECORD = 2,
    STREAM_SERVICE_PRE_EVENT_RECORD = 3,
};

// The field a query compares or an update writes.
enum StreamServiceCondition : int32_t {
    STREAM_SERVICE_CONDITION_SERVICE_TYPE = 0,
    STREAM_SERVICE_CONDITION_STREAM_TYPE = 1,  // compared together with the service type
    STREAM_SERVICE_CONDITION_RELAY_SERVICE = 2,
    STREAM_SERVICE_CONDITION_RTC_SERVICE = 3,
};

// Frame threads read a stored record without the registry lock while the event thread updates its fields,
// so every field is atomic. Build one zeroed and set what matters.
struct StreamManagerProperty {
    std::atomic<StreamServiceType> service_type{STREAM_SERVICE_ERROR};
    std::atomic<int32_t> stream_type{0};  // the command's stream index
    // Owned by the record: releasing the record destroys it. An update to null detaches it instead.
    std::atomic<RelayService*> relay_service{nullptr};
    std::atomic<bool> rtc_available{false};  // the peer-to-peer module is fed from this id

    StreamManagerProperty() = default;
    StreamManagerProperty(StreamServiceType service, int32_t stream, RelayService* relay, bool rtc)
        : service_type(service), stream_type(stream), relay_service(relay), rtc_available(rtc) {}
    StreamManagerProperty(const StreamManagerProperty& other) { *this = other; }
    StreamManagerProperty& operator=(const StreamManagerProperty& other) {
        service_type = other.service_type.load();
        stream_type = other.stream_type.load();
        relay_service = other.relay_service.load();
        rtc_available = other.rtc_available.load();
        return *this;
    }
};
