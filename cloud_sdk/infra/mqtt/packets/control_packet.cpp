#include "infra/mqtt/packets/control_packet.h"

#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {

size_t SerializeControlPacket(PacketType type, uint8_t* buffer, size_t capacity) {
    WireWriter writer(buffer, capacity);
    WriteFixedHeader(writer, type, 0, 0);
    return writer.ok() ? writer.size() : 0;
}

bool ParseControlPacket(const FixedHeader& header, PacketType type) {
    return header.type == type && header.remaining_length == 0;
}

}  // namespace tessera::mqtt
