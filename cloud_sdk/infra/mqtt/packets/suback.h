// MQTT 3.1.1 section 3.9: SUBACK.
#pragma once

#include <cstddef>
#include <cstdint>

#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {

constexpr uint8_t kSubackFailure = 0x80;

struct SubackPacket {
    uint16_t packet_id = 0;
    uint8_t first_return_code = 0;  // this client sends one filter per SUBSCRIBE
    size_t return_code_count = 0;
};

// Parses a SUBACK body; false without a return code, with a zero packet id or a code other than
// 0, 1, 2 or 0x80.
bool ParseSuback(const FixedHeader& header, const uint8_t* body, SubackPacket* out);

}  // namespace tessera::mqtt
