#include "infra/mqtt/publish_waitlist.h"

#include <algorithm>

namespace tessera::mqtt {

bool PublishWaitList::Add(uint16_t packet_id, std::vector<uint8_t> packet, uint64_t now_ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= kCapacity) return false;
    entries_.push_back(Entry{packet_id, std::move(packet), now_ms});
    return true;
}

bool PublishWaitList::Remove(uint16_t packet_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [packet_id](const Entry& entry) { return entry.packet_id == packet_id; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

std::vector<std::vector<uint8_t>> PublishWaitList::TakeDue(uint64_t now_ms, uint64_t wait_ms) {
    constexpr uint8_t kDupFlag = 0x08;
    std::vector<std::vector<uint8_t>> due;
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : entries_) {
        if (now_ms - entry.sent_ms <= wait_ms) continue;
        entry.packet[0] |= kDupFlag;
        entry.sent_ms = now_ms;
        due.push_back(entry.packet);
    }
    return due;
}

size_t PublishWaitList::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

}  // namespace tessera::mqtt
