// Reads one MQTT packet from a transport, bounded by the client's read buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/transport.h"

namespace tessera::mqtt {

struct ReadLimits {
    size_t buffer_size;               // no packet larger than this (fixed header included) is kept
    uint32_t first_byte_timeout_ms;   // waiting for a packet to begin
    uint32_t rest_timeout_ms;         // for each read once a packet has begun
};

enum class ReadStatus {
    kPacket,   // out holds a whole packet
    kNothing,  // no packet began within the wait
    kTooLong,  // a packet larger than the buffer was read to its end and dropped; out->header tells its size
    kBroken,   // the stream failed, stalled inside a packet, or sent a malformed fixed header
};

struct InboundPacket {
    FixedHeader header{};
    std::vector<uint8_t> body;
};

ReadStatus ReadPacket(Transport& transport, const ReadLimits& limits, InboundPacket* out);

}  // namespace tessera::mqtt
