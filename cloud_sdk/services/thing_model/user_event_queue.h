// The bounded queue between inbound processing and the dispatch of user events.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "services/thing_model/user_event.h"

namespace tessera::thing {

class UserEventQueue {
public:
    static constexpr size_t kCapacity = 50;

    // False, after "dm ipc list full", when kCapacity events are waiting already.
    bool Push(UserEvent event);
    // Up to max events, oldest first.
    std::vector<UserEvent> Take(size_t max);
    size_t dropped() const;

private:
    mutable std::mutex mutex_;
    std::deque<UserEvent> events_;
    size_t dropped_ = 0;
};

}  // namespace tessera::thing
