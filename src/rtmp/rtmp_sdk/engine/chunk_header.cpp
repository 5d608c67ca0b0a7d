#include "rtmp/rtmp_sdk/engine/chunk_header.h"

#include "rtmp/rtmp_sdk/engine/byte_order.h"

namespace rtmp_chunk {
namespace {

constexpr int kMessageHeaderSizes[4] = {11, 7, 3, 0};

const char* AsChars(const uint8_t* p) { return reinterpret_cast<const char*>(p); }
char* AsChars(uint8_t* p) { return reinterpret_cast<char*>(p); }

uint32_t TimestampField(const ChunkHeader& header) {
    return header.extended_timestamp ? kExtendedTimestampMarker : header.timestamp;
}

}  // namespace

int MessageHeaderSize(int fmt) { return kMessageHeaderSizes[fmt & 3]; }

int BasicHeaderSizeFromFirstByte(uint8_t first) {
    switch (first & 0x3F) {
        case 0:
            return 2;
        case 1:
            return 3;
        default:
            return 1;
    }
}

int BasicHeaderSizeForId(int chunk_stream_id) {
    if (chunk_stream_id < 64) return 1;
    return chunk_stream_id < 320 ? 2 : 3;
}

void DecodeBasicHeader(const uint8_t* basic, int* fmt, int* chunk_stream_id) {
    *fmt = basic[0] >> 6;
    switch (BasicHeaderSizeFromFirstByte(basic[0])) {
        case 2:
            *chunk_stream_id = 64 + basic[1];
            break;
        case 3:
            // RTMP 5.3.1.1: the three-byte form carries the id minus 64, least significant byte first.
            *chunk_stream_id = 64 + basic[1] + 256 * basic[2];
            break;
        default:
            *chunk_stream_id = basic[0] & 0x3F;
    }
}

void DecodeMessageHeader(const uint8_t* bytes, int fmt, ChunkHeader* header) {
    header->fmt = fmt;
    if (fmt == 3) return;
    header->timestamp = rtmp_wire::ReadBE24(AsChars(bytes));
    header->extended_timestamp = header->timestamp == kExtendedTimestampMarker;
    if (fmt == 2) return;
    header->message_length = rtmp_wire::ReadBE24(AsChars(bytes + 3));
    header->message_type = bytes[6];
    if (fmt == 1) return;
    header->message_stream_id = rtmp_wire::ReadLE32(AsChars(bytes + 7));  // RTMP 5.3.1.2.1: little-endian
}

int EncodedHeaderSize(const ChunkHeader& header) {
    const bool ext = header.extended_timestamp;
    return BasicHeaderSizeForId(header.chunk_stream_id) + MessageHeaderSize(header.fmt) + (ext ? 4 : 0);
}

int EncodeChunkHeader(const ChunkHeader& header, uint8_t* out) {
    uint8_t* p = out;
    const int id = header.chunk_stream_id;
    const uint8_t fmt_bits = static_cast<uint8_t>((header.fmt & 3) << 6);
    switch (BasicHeaderSizeForId(id)) {
        case 1:
            *p++ = fmt_bits | static_cast<uint8_t>(id);
            break;
        case 2:
            *p++ = fmt_bits;
            *p++ = static_cast<uint8_t>(id - 64);
            break;
        default:
            *p++ = fmt_bits | 1;
            *p++ = static_cast<uint8_t>((id - 64) & 0xFF);
            *p++ = static_cast<uint8_t>((id - 64) >> 8);
    }
    if (header.fmt <= 2) p = reinterpret_cast<uint8_t*>(rtmp_wire::WriteBE24(AsChars(p), TimestampField(header)));
    if (header.fmt <= 1) {
        p = reinterpret_cast<uint8_t*>(rtmp_wire::WriteBE24(AsChars(p), header.message_length));
        *p++ = header.message_type;
    }
    if (header.fmt == 0) p = reinterpret_cast<uint8_t*>(rtmp_wire::WriteLE32(AsChars(p), header.message_stream_id));
    if (header.extended_timestamp) p = reinterpret_cast<uint8_t*>(rtmp_wire::WriteBE32(AsChars(p), header.timestamp));
    return static_cast<int>(p - out);
}

}  // namespace rtmp_chunk
