// The topic filters this client subscribed, each with the handler of its messages.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessera_mqtt.h"

namespace tessera::mqtt {

struct Subscription {
    std::string filter;
    uint8_t qos = 0;
    zenq_mqtt_event_handle_func_fpt handler = nullptr;
    void* context = nullptr;
    bool acknowledged = false;  // the broker granted it on the current connection
};

class SubscriptionTable {
public:
    enum class AddResult { kAdded, kDuplicate, kReplaced };

    // A filter already held with the same handler and context is a duplicate; with another handler
    // the new one replaces it.
    AddResult Add(Subscription subscription);
    bool Remove(std::string_view filter);
    // The first subscription, in the order made, whose filter matches the topic.
    std::optional<Subscription> Match(std::string_view topic) const;
    void SetAcknowledged(std::string_view filter, bool acknowledged);
    // Every subscription the broker may not hold: all of them when the session is new, otherwise the
    // ones not acknowledged. All are marked unacknowledged when the session is new.
    std::vector<Subscription> ToRenew(bool session_present);

private:
    mutable std::mutex mutex_;
    std::vector<Subscription> entries_;
};

}  // namespace tessera::mqtt
