#include "services/thing_model/user_event_queue.h"

#include "infra/utils/sdk_log.h"

namespace tessera::thing {

bool UserEventQueue::Push(UserEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_.size() >= kCapacity) {
        ++dropped_;
        SDK_ERR("dm", "dm ipc list full");
        return false;
    }
    events_.push_back(std::move(event));
    return true;
}

std::vector<UserEvent> UserEventQueue::Take(size_t max) {
    std::vector<UserEvent> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    while (!events_.empty() && taken.size() < max) {
        taken.push_back(std::move(events_.front()));
        events_.pop_front();
    }
    return taken;
}

size_t UserEventQueue::dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace tessera::thing
