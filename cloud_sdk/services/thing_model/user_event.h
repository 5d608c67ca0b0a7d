// Events queued for the device program's handlers, each a kind and a JSON text.
#pragma once

#include <string>

namespace tessera::thing {

enum UserEventType {
    USER_EVENT_CLOUD_CONNECTED = 0,
    USER_EVENT_CLOUD_DISCONNECTED = 1,
    USER_EVENT_INITIALIZE_COMPLETED = 10,
    USER_EVENT_PROPERTY_SET = 15,
    USER_EVENT_SERVICE_REQUEST = 18,
    USER_EVENT_FOTA = 40,
    USER_EVENT_TIMESTAMP_REPLY = 41,
    USER_EVENT_RRPC_REQUEST = 42,
    USER_EVENT_ORVIA = 43,
    USER_EVENT_EVENT_NOTIFY = 45,
    USER_EVENT_MQTT_CONNECTED = 46,
};

struct UserEvent {
    int type = 0;
    std::string text;  // empty for the connection events
};

}  // namespace tessera::thing
