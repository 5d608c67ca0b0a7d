#include "infra/mqtt/packets/connect.h"

#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {
namespace {

constexpr std::string_view kProtocolName = "MQTT";
constexpr uint8_t kProtocolLevel = 4;
// Section 3.1.2.3: connect flags.
constexpr uint8_t kUserNameFlag = 0x80;
constexpr uint8_t kPasswordFlag = 0x40;
constexpr uint8_t kCleanSessionFlag = 0x02;

size_t BodySize(const ConnectPacket& packet) {
    size_t size = WireStringSize(kProtocolName) + 1 + 1 + 2 + WireStringSize(packet.client_id);
    if (!packet.username.empty()) size += WireStringSize(packet.username);
    if (!packet.password.empty()) size += WireStringSize(packet.password);
    return size;
}

uint8_t Flags(const ConnectPacket& packet) {
    uint8_t flags = packet.clean_session ? kCleanSessionFlag : 0;
    if (!packet.username.empty()) flags |= kUserNameFlag;
    if (!packet.password.empty()) flags |= kPasswordFlag;
    return flags;
}

bool FieldsFit(const ConnectPacket& packet) {
    constexpr size_t kMaxString = 65535;
    return packet.client_id.size() <= kMaxString && packet.username.size() <= kMaxString &&
           packet.password.size() <= kMaxString;
}

}  // namespace

size_t ConnectPacketSize(const ConnectPacket& packet) {
    return FieldsFit(packet) ? PacketSize(BodySize(packet)) : 0;
}

size_t SerializeConnect(const ConnectPacket& packet, uint8_t* buffer, size_t capacity) {
    size_t total = ConnectPacketSize(packet);
    if (total == 0 || total > capacity) return 0;
    WireWriter writer(buffer, capacity);
    WriteFixedHeader(writer, PacketType::kConnect, 0, BodySize(packet));
    writer.String(kProtocolName);
    writer.U8(kProtocolLevel);
    writer.U8(Flags(packet));
    writer.U16(packet.keepalive_s);
    writer.String(packet.client_id);
    if (!packet.username.empty()) writer.String(packet.username);
    if (!packet.password.empty()) writer.String(packet.password);
    return writer.ok() ? writer.size() : 0;
}

}  // namespace tessera::mqtt
