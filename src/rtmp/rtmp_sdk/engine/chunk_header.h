// RTMP 5.3.1 chunk headers: basic header (1-3 bytes), message header (11/7/3/0 bytes) and the
// extended timestamp. Pure functions over caller buffers.
#pragma once

#include <cstdint>

namespace rtmp_chunk {

constexpr int kMinChunkStreamId = 2;  // 0 and 1 only select the longer basic header forms
constexpr int kMaxChunkStreamId = 65599;
constexpr uint32_t kExtendedTimestampMarker = 0xFFFFFF;
constexpr uint32_t kMaxMessageLength = 0xFFFFFF;

struct ChunkHeader {
    int fmt = 0;  // 0 full .. 3 none
    int chunk_stream_id = 0;
    uint32_t timestamp = 0;  // absolute for fmt 0, a delta for fmt 1 and 2
    uint32_t message_length = 0;
    uint8_t message_type = 0;
    uint32_t message_stream_id = 0;
    bool extended_timestamp = false;  // the 4-byte field follows (also after fmt 3 continuations)
};

// Bytes of the message header for a header type (RTMP 5.3.1.2).
int MessageHeaderSize(int fmt);
// Bytes of the basic header, from its first byte or for a chunk stream id (RTMP 5.3.1.1).
int BasicHeaderSizeFromFirstByte(uint8_t first);
int BasicHeaderSizeForId(int chunk_stream_id);
// Decodes a complete basic header of BasicHeaderSizeFromFirstByte(basic[0]) bytes.
void DecodeBasicHeader(const uint8_t* basic, int* fmt, int* chunk_stream_id);
// Decodes the MessageHeaderSize(fmt) bytes of a message header into the fields that fmt carries;
// sets extended_timestamp when the timestamp field holds the marker.
void DecodeMessageHeader(const uint8_t* bytes, int fmt, ChunkHeader* header);
// Size of the whole header EncodeChunkHeader writes (at most 18 bytes).
int EncodedHeaderSize(const ChunkHeader& header);
// Writes basic header, message header and extended timestamp; returns the bytes written.
int EncodeChunkHeader(const ChunkHeader& header, uint8_t* out);

}  // namespace rtmp_chunk
