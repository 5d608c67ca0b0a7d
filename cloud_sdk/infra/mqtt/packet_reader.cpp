#include "infra/mqtt/packet_reader.h"

#include <algorithm>

namespace tessera::mqtt {
namespace {

bool ReadExactly(Transport& transport, uint8_t* buffer, size_t len, uint32_t timeout_ms) {
    size_t done = 0;
    while (done < len) {
        int got = transport.Read(buffer + done, len - done, timeout_ms);
        if (got <= 0) return false;  // a stall inside a packet leaves the stream unusable as well
        done += static_cast<size_t>(got);
    }
    return true;
}

// Reads the fixed header byte by byte: the remaining length decides how much follows.
ReadStatus ReadFixedHeader(Transport& transport, const ReadLimits& limits, FixedHeader* header) {
    uint8_t bytes[kMaxFixedHeaderSize];
    int got = transport.Read(bytes, 1, limits.first_byte_timeout_ms);
    if (got == 0) return ReadStatus::kNothing;
    if (got < 0) return ReadStatus::kBroken;
    for (size_t size = 1; size < kMaxFixedHeaderSize; ++size) {
        if (!ReadExactly(transport, bytes + size, 1, limits.rest_timeout_ms)) return ReadStatus::kBroken;
        DecodeStatus status = DecodeFixedHeader(bytes, size + 1, header);
        if (status == DecodeStatus::kOk) return ReadStatus::kPacket;
        if (status == DecodeStatus::kMalformed) return ReadStatus::kBroken;
    }
    return ReadStatus::kBroken;
}

bool Discard(Transport& transport, size_t len, const ReadLimits& limits) {
    std::vector<uint8_t> scratch(std::max<size_t>(1, std::min(len, limits.buffer_size)));
    while (len > 0) {
        size_t piece = std::min(len, scratch.size());
        if (!ReadExactly(transport, scratch.data(), piece, limits.rest_timeout_ms)) return false;
        len -= piece;
    }
    return true;
}

}  // namespace

ReadStatus ReadPacket(Transport& transport, const ReadLimits& limits, InboundPacket* out) {
    ReadStatus status = ReadFixedHeader(transport, limits, &out->header);
    if (status != ReadStatus::kPacket) return status;
    const size_t remaining = out->header.remaining_length;
    if (out->header.header_size + remaining > limits.buffer_size) {
        return Discard(transport, remaining, limits) ? ReadStatus::kTooLong : ReadStatus::kBroken;
    }
    out->body.resize(remaining);
    if (!ReadExactly(transport, out->body.data(), remaining, limits.rest_timeout_ms)) return ReadStatus::kBroken;
    return ReadStatus::kPacket;
}

}  // namespace tessera::mqtt
