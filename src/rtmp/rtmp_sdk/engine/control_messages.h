// Bodies of the protocol control messages (RTMP 5.4) and user control messages (RTMP 6.2, 7.1.7).
// Pure functions over caller buffers.
#pragma once

#include <cstdint>

namespace rtmp_control {

// User control event types.
enum UserControlEvent : uint16_t {
    USER_CONTROL_STREAM_BEGIN = 0,
    USER_CONTROL_STREAM_EOF = 1,
    USER_CONTROL_STREAM_DRY = 2,
    USER_CONTROL_SET_BUFFER_LENGTH = 3,
    USER_CONTROL_STREAM_IS_RECORDED = 4,
    USER_CONTROL_PING_REQUEST = 6,
    USER_CONTROL_PING_RESPONSE = 7,
    USER_CONTROL_SWF_VERIFY_REQUEST = 26,
    USER_CONTROL_SWF_VERIFY_RESPONSE = 27,
    USER_CONTROL_BUFFER_EMPTY = 31,
    USER_CONTROL_BUFFER_READY = 32,
};

constexpr int kFourByteBody = 4;
constexpr int kPeerBandwidthBody = 5;
constexpr int kUserControlMaxBody = 10;

// Set Chunk Size, Abort, Acknowledgement and Window Acknowledgement Size: one 32-bit value.
// Writes 4 bytes; Set Chunk Size keeps the reserved top bit clear.
int EncodeChunkSize(uint32_t chunk_size, char* out);
int EncodeUint32Body(uint32_t value, char* out);
// Set Peer Bandwidth: window size and limit type (0 hard, 1 soft, 2 dynamic). Writes 5 bytes.
int EncodePeerBandwidth(uint32_t window, uint8_t limit_type, char* out);
// User control: event type, then the stream id or timestamp; set-buffer-length adds the length.
// Returns 6, or 10 for USER_CONTROL_SET_BUFFER_LENGTH.
int EncodeUserControl(UserControlEvent event, uint32_t value, uint32_t buffer_ms, char* out);

// Decoders return false when the body is too short or the value is not acceptable.
// A chunk size of 0 is refused (RTMP 5.4.1: at least 1).
bool DecodeChunkSize(const char* body, uint32_t size, uint32_t* chunk_size);
bool DecodeUint32Body(const char* body, uint32_t size, uint32_t* value);
// A body of exactly 4 bytes gives limit type 255 ("not given").
bool DecodePeerBandwidth(const char* body, uint32_t size, uint32_t* window, uint8_t* limit_type);
// Event type and the 32-bit value after it (stream id, timestamp, SWF verification type byte).
bool DecodeUserControl(const char* body, uint32_t size, uint16_t* event, uint32_t* value);

}  // namespace rtmp_control
