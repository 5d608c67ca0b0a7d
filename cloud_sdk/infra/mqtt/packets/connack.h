// MQTT 3.1.1 section 3.2: CONNACK.
#pragma once

#include <cstdint>

#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {

// Section 3.2.2.3: 0 accepted; 1 to 5 the refusals.
constexpr uint8_t kConnackAccepted = 0;

struct ConnackPacket {
    bool session_present = false;
    uint8_t return_code = 0;
};

// Parses the body of a CONNACK; false when it is not two bytes or reserved bits are set.
bool ParseConnack(const FixedHeader& header, const uint8_t* body, ConnackPacket* out);

}  // namespace tessera::mqtt
