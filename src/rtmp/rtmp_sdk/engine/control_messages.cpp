#include "rtmp/rtmp_sdk/engine/control_messages.h"

#include "rtmp/rtmp_sdk/engine/byte_order.h"

namespace rtmp_control {

using rtmp_wire::ReadBE16;
using rtmp_wire::ReadBE32;
using rtmp_wire::WriteBE16;
using rtmp_wire::WriteBE32;

int EncodeChunkSize(uint32_t chunk_size, char* out) { return EncodeUint32Body(chunk_size & 0x7FFFFFFF, out); }

int EncodeUint32Body(uint32_t value, char* out) {
    WriteBE32(out, value);
    return kFourByteBody;
}

int EncodePeerBandwidth(uint32_t window, uint8_t limit_type, char* out) {
    WriteBE32(out, window);
    out[4] = static_cast<char>(limit_type);
    return kPeerBandwidthBody;
}

int EncodeUserControl(UserControlEvent event, uint32_t value, uint32_t buffer_ms, char* out) {
    char* p = WriteBE16(out, event);
    p = WriteBE32(p, value);
    if (event == USER_CONTROL_SET_BUFFER_LENGTH) p = WriteBE32(p, buffer_ms);
    return static_cast<int>(p - out);
}

bool DecodeChunkSize(const char* body, uint32_t size, uint32_t* chunk_size) {
    if (size < kFourByteBody) return false;
    const uint32_t value = ReadBE32(body) & 0x7FFFFFFF;  // RTMP 5.4.1: the top bit is reserved
    if (value == 0) return false;
    *chunk_size = value;
    return true;
}

bool DecodeUint32Body(const char* body, uint32_t size, uint32_t* value) {
    if (size < kFourByteBody) return false;
    *value = ReadBE32(body);
    return true;
}

bool DecodePeerBandwidth(const char* body, uint32_t size, uint32_t* window, uint8_t* limit_type) {
    if (size < kFourByteBody) return false;
    *window = ReadBE32(body);
    *limit_type = size >= kPeerBandwidthBody ? static_cast<uint8_t>(body[4]) : 0xFF;
    return true;
}

bool DecodeUserControl(const char* body, uint32_t size, uint16_t* event, uint32_t* value) {
    if (size < 2) return false;
    *event = static_cast<uint16_t>(ReadBE16(body));
    if (*event == USER_CONTROL_SWF_VERIFY_REQUEST) {
        // The request carries a one-byte verification type, not a 32-bit value.
        if (size < 3) return false;
        *value = static_cast<uint8_t>(body[2]);
        return true;
    }
    if (size < 6) return false;
    *value = ReadBE32(body + 2);
    return true;
}

}  // namespace rtmp_control
