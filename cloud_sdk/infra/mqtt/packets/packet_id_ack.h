// MQTT 3.1.1 sections 3.4 and 3.11: PUBACK and UNSUBACK, a fixed header and a packet id.
#pragma once

#include <cstddef>
#include <cstdint>

#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {

constexpr size_t kPacketIdAckSize = 4;

// Writes a PUBACK (or another packet of that shape) and returns 4, or 0 when the buffer is too small.
size_t SerializePacketIdAck(PacketType type, uint16_t packet_id, uint8_t* buffer, size_t capacity);
// Parses the body of a PUBACK or UNSUBACK; false unless it is exactly a non-zero packet id.
bool ParsePacketIdAck(const FixedHeader& header, const uint8_t* body, uint16_t* packet_id);

}  // namespace tessera::mqtt
