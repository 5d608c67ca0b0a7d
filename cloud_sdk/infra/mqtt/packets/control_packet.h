// MQTT 3.1.1 sections 3.12 to 3.14: PINGREQ, PINGRESP and DISCONNECT, a fixed header only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {

constexpr size_t kControlPacketSize = 2;

// Writes the two-byte packet and returns 2, or 0 when the buffer is too small.
size_t SerializeControlPacket(PacketType type, uint8_t* buffer, size_t capacity);
// True when the header is a control packet of that type with an empty body.
bool ParseControlPacket(const FixedHeader& header, PacketType type);

}  // namespace tessera::mqtt
