#include "infra/mqtt/packets/publish.h"

#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {
namespace {

// Section 3.3.1: DUP is bit 3, QoS bits 2-1, RETAIN bit 0.
uint8_t Flags(const PublishPacket& packet) {
    return static_cast<uint8_t>((packet.dup ? 0x08 : 0) | ((packet.qos & 0x03) << 1) | (packet.retain ? 0x01 : 0));
}

size_t BodySize(const PublishPacket& packet) {
    return WireStringSize(packet.topic) + (packet.qos > 0 ? 2 : 0) + packet.payload_len;
}

}  // namespace

size_t PublishPacketSize(const PublishPacket& packet) {
    if (packet.topic.size() > 65535 || packet.payload_len > kMaxRemainingLength) return 0;
    return PacketSize(BodySize(packet));
}

size_t SerializePublish(const PublishPacket& packet, uint8_t* buffer, size_t capacity) {
    size_t total = PublishPacketSize(packet);
    if (total == 0 || total > capacity) return 0;
    WireWriter writer(buffer, capacity);
    WriteFixedHeader(writer, PacketType::kPublish, Flags(packet), BodySize(packet));
    writer.String(packet.topic);
    if (packet.qos > 0) writer.U16(packet.packet_id);
    writer.Bytes(packet.payload, packet.payload_len);
    return writer.ok() ? writer.size() : 0;
}

bool ParsePublish(const FixedHeader& header, const uint8_t* body, PublishPacket* out) {
    if (header.type != PacketType::kPublish) return false;
    WireReader reader(body, header.remaining_length);
    PublishPacket packet;
    packet.dup = (header.flags & 0x08) != 0;
    packet.qos = (header.flags >> 1) & 0x03;
    packet.retain = (header.flags & 0x01) != 0;
    packet.topic = reader.String();
    if (packet.qos > 0) packet.packet_id = reader.U16();
    // Section 4.7.3: a topic name has at least one character; section 2.3.1: packet ids are non-zero.
    if (!reader.ok() || packet.topic.empty() || packet.qos == 3 || (packet.qos > 0 && packet.packet_id == 0)) {
        return false;
    }
    std::string_view rest = reader.Rest();
    packet.payload = reinterpret_cast<const uint8_t*>(rest.data());
    packet.payload_len = rest.size();
    *out = packet;
    return true;
}

}  // namespace tessera::mqtt
