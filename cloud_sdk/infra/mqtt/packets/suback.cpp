#include "infra/mqtt/packets/suback.h"

#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {
namespace {

bool ValidReturnCode(uint8_t code) { return code <= 2 || code == kSubackFailure; }

}  // namespace

bool ParseSuback(const FixedHeader& header, const uint8_t* body, SubackPacket* out) {
    if (header.type != PacketType::kSuback || header.remaining_length < 3) return false;
    WireReader reader(body, header.remaining_length);
    SubackPacket packet;
    packet.packet_id = reader.U16();
    if (packet.packet_id == 0) return false;
    packet.return_code_count = reader.remaining();
    for (size_t i = 0; i < packet.return_code_count; ++i) {
        uint8_t code = reader.U8();
        if (!ValidReturnCode(code)) return false;
        if (i == 0) packet.first_return_code = code;
    }
    *out = packet;
    return true;
}

}  // namespace tessera::mqtt
