#include "infra/mqtt/subscription_table.h"

#include <algorithm>

#include "infra/mqtt/topic_rules.h"

namespace tessera::mqtt {

SubscriptionTable::AddResult SubscriptionTable::Add(Subscription subscription) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Subscription& entry : entries_) {
        if (entry.filter != subscription.filter) continue;
        if (entry.handler == subscription.handler && entry.context == subscription.context) {
            return AddResult::kDuplicate;
        }
        entry = std::move(subscription);
        return AddResult::kReplaced;
    }
    entries_.push_back(std::move(subscription));
    return AddResult::kAdded;
}

bool SubscriptionTable::Remove(std::string_view filter) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [filter](const Subscription& entry) { return entry.filter == filter; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

std::optional<Subscription> SubscriptionTable::Match(std::string_view topic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Subscription& entry : entries_) {
        if (TopicMatchesFilter(topic, entry.filter)) return entry;
    }
    return std::nullopt;
}

void SubscriptionTable::SetAcknowledged(std::string_view filter, bool acknowledged) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Subscription& entry : entries_) {
        if (entry.filter == filter) entry.acknowledged = acknowledged;
    }
}

std::vector<Subscription> SubscriptionTable::ToRenew(bool session_present) {
    std::vector<Subscription> renew;
    std::lock_guard<std::mutex> lock(mutex_);
    for (Subscription& entry : entries_) {
        if (!session_present) entry.acknowledged = false;
        if (!entry.acknowledged) renew.push_back(entry);
    }
    return renew;
}

}  // namespace tessera::mqtt
