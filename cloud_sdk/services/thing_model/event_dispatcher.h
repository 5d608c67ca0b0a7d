// Hands queued user events to the handlers the device program registered.
#pragma once

#include "services/thing_model/device_topics.h"
#include "services/thing_model/user_event.h"

namespace tessera::thing {

// Parses the event's text for the members its kind needs and calls the handler; an event whose members
// are missing or of the wrong JSON type is dropped. A service or RRPC handler's response is published.
void DispatchUserEvent(const UserEvent& event, const DeviceTopics& topics);

}  // namespace tessera::thing
