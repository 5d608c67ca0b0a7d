// SUBSCRIBE and UNSUBSCRIBE requests sent and waiting for their acknowledgement.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessera::mqtt {

enum class RequestKind { kSubscribe, kUnsubscribe };

struct PendingRequest {
    uint16_t packet_id = 0;
    RequestKind kind = RequestKind::kSubscribe;
    std::string filter;
    uint64_t sent_ms = 0;
    bool watched = false;  // a caller waits for its outcome
};

// What became of a watched request.
enum class RequestOutcome { kAccepted, kRefused, kTimedOut };

class RequestWaitList {
public:
    void Add(PendingRequest request);
    // The request of that id, now answered; its outcome is kept when it was watched.
    std::optional<PendingRequest> Complete(uint16_t packet_id, RequestOutcome outcome);
    // Every request that has waited longer than wait_ms, removed.
    std::vector<PendingRequest> TakeExpired(uint64_t now_ms, uint64_t wait_ms);
    // The outcome of a watched request once known; it is forgotten then.
    std::optional<RequestOutcome> TakeOutcome(uint16_t packet_id);
    // Stops watching (and waiting for) a request.
    void Forget(uint16_t packet_id);

private:
    std::mutex mutex_;
    std::vector<PendingRequest> pending_;
    std::map<uint16_t, RequestOutcome> outcomes_;
};

}  // namespace tessera::mqtt
