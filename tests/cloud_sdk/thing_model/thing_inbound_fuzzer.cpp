// Arbitrary topics and payloads on every inbound kind, routed to user events and dispatched.
#include <cstddef>
#include <cstdint>
#include <string>

#include "services/thing_model/event_dispatcher.h"
#include "services/thing_model/inbound_router.h"
#include "tessera_api.h"
#include "tessera_log.h"

namespace {

int OnService(const int, const char*, const int, const char*, const int, const char*, const int, char**, int*) {
    return 0;
}
int OnDevice(const int, const char*, const int) { return 0; }
int OnOrvia(const int, const char*, const int, const char*, const int) { return 0; }
int OnText(const char*) { return 0; }
int OnFota(int, const char*) { return 0; }

bool RegisterOnce() {
    IOT_SetLogLevel(TESSERA_LOG_NONE);
    zenq_register_for_ITE_SERVICE_REQUST(OnService);
    zenq_register_for_ITE_PROPERTY_SET(OnDevice);
    zenq_register_for_ITE_EVENT_NOTIFY(OnDevice);
    zenq_register_for_ITE_ORVIA(OnOrvia);
    zenq_register_for_ITE_TIMESTAMP_REPLY(OnText);
    zenq_register_for_ITE_FOTA(OnFota);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = RegisterOnce();
    (void)registered;
    if (size < 1) return 0;
    using namespace tessera::thing;
    auto kind = static_cast<InboundKind>(data[0] % static_cast<uint8_t>(InboundKind::kCount));
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = rest.find('\n');
    std::string topic = "/sys/a1B2/cam01/" + rest.substr(0, split);
    std::string payload = split == std::string::npos ? std::string() : rest.substr(split + 1);
    DeviceTopics topics("a1B2", "cam01");
    UserEventQueue queue;
    InboundRouter router(topics, queue, [] { return true; });
    router.Route(kind, topic, payload);
    for (const UserEvent& event : queue.Take(UserEventQueue::kCapacity)) DispatchUserEvent(event, topics);
    return 0;
}
