#include "infra/mqtt/packets/packet_id_ack.h"

#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {

size_t SerializePacketIdAck(PacketType type, uint16_t packet_id, uint8_t* buffer, size_t capacity) {
    WireWriter writer(buffer, capacity);
    WriteFixedHeader(writer, type, 0, 2);
    writer.U16(packet_id);
    return writer.ok() ? writer.size() : 0;
}

bool ParsePacketIdAck(const FixedHeader& header, const uint8_t* body, uint16_t* packet_id) {
    if (header.remaining_length != 2) return false;
    WireReader reader(body, header.remaining_length);
    uint16_t id = reader.U16();
    if (!reader.ok() || id == 0) return false;
    *packet_id = id;
    return true;
}

}  // namespace tessera::mqtt
