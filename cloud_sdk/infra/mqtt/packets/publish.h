// MQTT 3.1.1 section 3.3: PUBLISH.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {

struct PublishPacket {
    std::string_view topic;
    uint8_t qos = 0;
    bool dup = false;
    bool retain = false;
    uint16_t packet_id = 0;  // present on the wire only for QoS 1 and 2
    const uint8_t* payload = nullptr;
    size_t payload_len = 0;
};

// Bytes the packet needs; 0 when the topic or the packet is too long for MQTT.
size_t PublishPacketSize(const PublishPacket& packet);
// Writes the packet and returns its size, or 0 when it does not fit the buffer.
size_t SerializePublish(const PublishPacket& packet, uint8_t* buffer, size_t capacity);
// Parses a PUBLISH body; topic and payload point into body. False for an empty topic or a missing or
// zero packet id.
bool ParsePublish(const FixedHeader& header, const uint8_t* body, PublishPacket* out);

}  // namespace tessera::mqtt
