#include "infra/mqtt/packets/connack.h"

namespace tessera::mqtt {

bool ParseConnack(const FixedHeader& header, const uint8_t* body, ConnackPacket* out) {
    if (header.type != PacketType::kConnack || header.remaining_length != 2) return false;
    // Section 3.2.2.1: bits 7-1 of the acknowledge flags are reserved.
    if ((body[0] & 0xFE) != 0) return false;
    out->session_present = (body[0] & 0x01) != 0;
    out->return_code = body[1];
    return true;
}

}  // namespace tessera::mqtt
