// MQTT 3.1.1 section 2.2: the fixed header (packet type, flags, remaining length).
#pragma once

#include <cstddef>
#include <cstdint>

#include "infra/mqtt/packets/wire_codec.h"

namespace tessera::mqtt {

enum class PacketType : uint8_t {
    kConnect = 1,
    kConnack = 2,
    kPublish = 3,
    kPuback = 4,
    kPubrec = 5,
    kPubrel = 6,
    kPubcomp = 7,
    kSubscribe = 8,
    kSuback = 9,
    kUnsubscribe = 10,
    kUnsuback = 11,
    kPingreq = 12,
    kPingresp = 13,
    kDisconnect = 14,
};

// Section 2.2.3: at most four bytes, so at most 268435455.
constexpr size_t kMaxRemainingLength = 268435455;
constexpr size_t kMaxRemainingLengthBytes = 4;
constexpr size_t kMaxFixedHeaderSize = 1 + kMaxRemainingLengthBytes;

struct FixedHeader {
    PacketType type;
    uint8_t flags;            // low nibble of the first byte
    size_t remaining_length;  // bytes after the fixed header
    size_t header_size;       // bytes of the fixed header itself
};

enum class DecodeStatus { kOk, kNeedMore, kMalformed };

// Bytes needed to encode a remaining length; 0 when it is too large.
size_t RemainingLengthSize(size_t length);
// Total packet size for a body of body_size bytes; 0 when it is too large.
size_t PacketSize(size_t body_size);
void WriteFixedHeader(WireWriter& writer, PacketType type, uint8_t flags, size_t remaining_length);

// Decodes a fixed header from the start of data. Refuses packet types 0 and 15, a remaining length of
// more than four bytes, and flags that section 2.2.2 reserves.
DecodeStatus DecodeFixedHeader(const uint8_t* data, size_t size, FixedHeader* out);

}  // namespace tessera::mqtt
