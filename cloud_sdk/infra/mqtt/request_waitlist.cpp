#include "infra/mqtt/request_waitlist.h"

#include <algorithm>

namespace tessera::mqtt {

void RequestWaitList::Add(PendingRequest request) {
    std::lock_guard<std::mutex> lock(mutex_);
    outcomes_.erase(request.packet_id);
    pending_.push_back(std::move(request));
}

std::optional<PendingRequest> RequestWaitList::Complete(uint16_t packet_id, RequestOutcome outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [packet_id](const PendingRequest& request) { return request.packet_id == packet_id; });
    if (it == pending_.end()) return std::nullopt;
    PendingRequest request = std::move(*it);
    pending_.erase(it);
    if (request.watched) outcomes_[packet_id] = outcome;
    return request;
}

std::vector<PendingRequest> RequestWaitList::TakeExpired(uint64_t now_ms, uint64_t wait_ms) {
    std::vector<PendingRequest> expired;
    std::lock_guard<std::mutex> lock(mutex_);
    auto keep = std::stable_partition(pending_.begin(), pending_.end(), [&](const PendingRequest& request) {
        return now_ms - request.sent_ms <= wait_ms;
    });
    for (auto it = keep; it != pending_.end(); ++it) {
        if (it->watched) outcomes_[it->packet_id] = RequestOutcome::kTimedOut;
        expired.push_back(std::move(*it));
    }
    pending_.erase(keep, pending_.end());
    return expired;
}

std::optional<RequestOutcome> RequestWaitList::TakeOutcome(uint16_t packet_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = outcomes_.find(packet_id);
    if (it == outcomes_.end()) return std::nullopt;
    RequestOutcome outcome = it->second;
    outcomes_.erase(it);
    return outcome;
}

void RequestWaitList::Forget(uint16_t packet_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    outcomes_.erase(packet_id);
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [packet_id](const PendingRequest& request) { return request.packet_id == packet_id; }),
                   pending_.end());
}

}  // namespace tessera::mqtt
