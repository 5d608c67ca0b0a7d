#include "infra/mqtt/packets/inbound_message.h"

#include "infra/mqtt/packets/control_packet.h"
#include "infra/mqtt/packets/packet_id_ack.h"

namespace tessera::mqtt {

bool DecodeInbound(const FixedHeader& header, const uint8_t* body, InboundMessage* out) {
    out->type = header.type;
    switch (header.type) {
        case PacketType::kConnack:
            return ParseConnack(header, body, &out->connack);
        case PacketType::kPublish:
            return ParsePublish(header, body, &out->publish);
        case PacketType::kSuback:
            return ParseSuback(header, body, &out->suback);
        case PacketType::kPuback:
        case PacketType::kUnsuback:
        case PacketType::kPubrec:
        case PacketType::kPubrel:
        case PacketType::kPubcomp:
            return ParsePacketIdAck(header, body, &out->packet_id);
        case PacketType::kPingresp:
            return ParseControlPacket(header, PacketType::kPingresp);
        default:
            return false;
    }
}

}  // namespace tessera::mqtt
