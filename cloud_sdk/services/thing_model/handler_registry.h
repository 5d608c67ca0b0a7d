// The device program's handler of each event kind; a registration replaces the previous one.
#pragma once

#include "tessera_api.h"

namespace tessera::thing {

struct UserHandlers {
    zenq_connect_succ_handler_t connect_succ = nullptr;
    zenq_disconnected_handler_t disconnected = nullptr;
    zenq_service_request_handler_t service_request = nullptr;
    zenq_property_set_handler_t property_set = nullptr;
    zenq_timestamp_reply_handler_t timestamp_reply = nullptr;
    zenq_fota_handler_t fota = nullptr;
    zenq_event_notify_handler_t event_notify = nullptr;
    zenq_orvia_handler_t orvia = nullptr;
    zenq_initialize_completed_handler_t initialize_completed = nullptr;
    zenq_mqtt_connect_succ_handler_t mqtt_connect_succ = nullptr;
};

// A copy of the handlers registered so far; safe from any thread.
UserHandlers CurrentHandlers();

}  // namespace tessera::thing
