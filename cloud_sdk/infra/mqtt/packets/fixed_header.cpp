#include "infra/mqtt/packets/fixed_header.h"

namespace tessera::mqtt {
namespace {

// Section 2.2.2: every type except PUBLISH has fixed flags.
bool FlagsAllowed(PacketType type, uint8_t flags) {
    switch (type) {
        case PacketType::kPublish:
            return (flags & 0x06) != 0x06;  // QoS 3 is malformed
        case PacketType::kPubrel:
        case PacketType::kSubscribe:
        case PacketType::kUnsubscribe:
            return flags == 0x02;
        default:
            return flags == 0;
    }
}

}  // namespace

size_t RemainingLengthSize(size_t length) {
    if (length < 128) return 1;
    if (length < 16384) return 2;
    if (length < 2097152) return 3;
    if (length <= kMaxRemainingLength) return 4;
    return 0;
}

size_t PacketSize(size_t body_size) {
    size_t length_size = RemainingLengthSize(body_size);
    return length_size == 0 ? 0 : 1 + length_size + body_size;
}

void WriteFixedHeader(WireWriter& writer, PacketType type, uint8_t flags, size_t remaining_length) {
    writer.U8(static_cast<uint8_t>((static_cast<uint8_t>(type) << 4) | (flags & 0x0F)));
    do {
        uint8_t digit = remaining_length % 128;
        remaining_length /= 128;
        writer.U8(remaining_length > 0 ? static_cast<uint8_t>(digit | 0x80) : digit);
    } while (remaining_length > 0);
}

DecodeStatus DecodeFixedHeader(const uint8_t* data, size_t size, FixedHeader* out) {
    if (size < 2) return DecodeStatus::kNeedMore;
    uint8_t type_bits = data[0] >> 4;
    if (type_bits == 0 || type_bits == 15) return DecodeStatus::kMalformed;
    auto type = static_cast<PacketType>(type_bits);
    uint8_t flags = data[0] & 0x0F;
    if (!FlagsAllowed(type, flags)) return DecodeStatus::kMalformed;

    size_t value = 0;
    size_t multiplier = 1;
    for (size_t i = 1; i <= kMaxRemainingLengthBytes; ++i) {
        if (i >= size) return DecodeStatus::kNeedMore;
        uint8_t digit = data[i];
        value += (digit & 0x7F) * multiplier;
        if ((digit & 0x80) == 0) {
            *out = FixedHeader{type, flags, value, i + 1};
            return DecodeStatus::kOk;
        }
        multiplier *= 128;
    }
    return DecodeStatus::kMalformed;
}

}  // namespace tessera::mqtt
