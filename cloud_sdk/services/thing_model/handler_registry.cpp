#include "services/thing_model/handler_registry.h"

#include <mutex>

namespace tessera::thing {
namespace {

std::mutex g_handlers_mutex;
UserHandlers g_handlers;

template <typename Handler>
void Register(Handler UserHandlers::*slot, Handler handler) {
    std::lock_guard<std::mutex> lock(g_handlers_mutex);
    g_handlers.*slot = handler;
}

}  // namespace

UserHandlers CurrentHandlers() {
    std::lock_guard<std::mutex> lock(g_handlers_mutex);
    return g_handlers;
}

}  // namespace tessera::thing

using tessera::thing::Register;
using tessera::thing::UserHandlers;

extern "C" {

void zenq_register_for_ITE_CONNECT_SUCC(zenq_connect_succ_handler_t handler) {
    Register(&UserHandlers::connect_succ, handler);
}
void zenq_register_for_ITE_DISCONNECTED(zenq_disconnected_handler_t handler) {
    Register(&UserHandlers::disconnected, handler);
}
void zenq_register_for_ITE_SERVICE_REQUST(zenq_service_request_handler_t handler) {
    Register(&UserHandlers::service_request, handler);
}
void zenq_register_for_ITE_PROPERTY_SET(zenq_property_set_handler_t handler) {
    Register(&UserHandlers::property_set, handler);
}
void zenq_register_for_ITE_TIMESTAMP_REPLY(zenq_timestamp_reply_handler_t handler) {
    Register(&UserHandlers::timestamp_reply, handler);
}
void zenq_register_for_ITE_FOTA(zenq_fota_handler_t handler) { Register(&UserHandlers::fota, handler); }
void zenq_register_for_ITE_EVENT_NOTIFY(zenq_event_notify_handler_t handler) {
    Register(&UserHandlers::event_notify, handler);
}
void zenq_register_for_ITE_ORVIA(zenq_orvia_handler_t handler) { Register(&UserHandlers::orvia, handler); }
void zenq_register_for_ITE_INITIALIZE_COMPLETED(zenq_initialize_completed_handler_t handler) {
    Register(&UserHandlers::initialize_completed, handler);
}
void zenq_register_for_ITE_MQTT_CONNECT_SUCC(zenq_mqtt_connect_succ_handler_t handler) {
    Register(&UserHandlers::mqtt_connect_succ, handler);
}

}  // extern "C"
