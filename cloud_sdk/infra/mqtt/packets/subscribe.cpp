#include "infra/mqtt/packets/subscribe.h"

#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {
namespace {

// Sections 3.8.1 and 3.10.1: both carry the reserved flags 0010.
constexpr uint8_t kRequestFlags = 0x02;

size_t BodySize(std::string_view filter, bool with_qos) { return 2 + WireStringSize(filter) + (with_qos ? 1 : 0); }

size_t RequestSize(std::string_view filter, bool with_qos) {
    if (filter.empty() || filter.size() > 65535) return 0;
    return PacketSize(BodySize(filter, with_qos));
}

size_t SerializeRequest(PacketType type, uint16_t packet_id, std::string_view filter, const uint8_t* qos,
                        uint8_t* buffer, size_t capacity) {
    size_t total = RequestSize(filter, qos != nullptr);
    if (total == 0 || total > capacity || packet_id == 0) return 0;
    WireWriter writer(buffer, capacity);
    WriteFixedHeader(writer, type, kRequestFlags, BodySize(filter, qos != nullptr));
    writer.U16(packet_id);
    writer.String(filter);
    if (qos != nullptr) writer.U8(*qos);
    return writer.ok() ? writer.size() : 0;
}

}  // namespace

size_t SubscribePacketSize(std::string_view filter) { return RequestSize(filter, true); }

size_t UnsubscribePacketSize(std::string_view filter) { return RequestSize(filter, false); }

size_t SerializeSubscribe(uint16_t packet_id, std::string_view filter, uint8_t qos, uint8_t* buffer,
                          size_t capacity) {
    if (qos > 2) return 0;
    return SerializeRequest(PacketType::kSubscribe, packet_id, filter, &qos, buffer, capacity);
}

size_t SerializeUnsubscribe(uint16_t packet_id, std::string_view filter, uint8_t* buffer, size_t capacity) {
    return SerializeRequest(PacketType::kUnsubscribe, packet_id, filter, nullptr, buffer, capacity);
}

}  // namespace tessera::mqtt
