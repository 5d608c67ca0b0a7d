// QoS 1 publishes sent and not yet acknowledged, kept for resending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tessera::mqtt {

class PublishWaitList {
public:
    static constexpr size_t kCapacity = 20;

    // False when the list already holds kCapacity publishes.
    bool Add(uint16_t packet_id, std::vector<uint8_t> packet, uint64_t now_ms);
    // False when the id was not waiting.
    bool Remove(uint16_t packet_id);
    // Copies, with the DUP flag set (MQTT 3.1.1 section 3.3.1.1), of every publish that has waited longer
    // than wait_ms; their wait starts again at now_ms.
    std::vector<std::vector<uint8_t>> TakeDue(uint64_t now_ms, uint64_t wait_ms);
    size_t size() const;

private:
    struct Entry {
        uint16_t packet_id;
        std::vector<uint8_t> packet;
        uint64_t sent_ms;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace tessera::mqtt
