// Big-endian integers of the RTMP and AMF0 wire formats (and the little-endian stream id of RTMP 5.3.1.2.1).
#pragma once

#include <cstdint>

namespace rtmp_wire {

inline uint32_t ReadBE16(const char* p) {
    const auto* u = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint32_t>(u[0]) << 8 | u[1];
}
inline uint32_t ReadBE24(const char* p) {
    const auto* u = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint32_t>(u[0]) << 16 | static_cast<uint32_t>(u[1]) << 8 | u[2];
}
inline uint32_t ReadBE32(const char* p) { return ReadBE24(p) << 8 | static_cast<uint8_t>(p[3]); }
inline uint32_t ReadLE32(const char* p) {
    const auto* u = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint32_t>(u[3]) << 24 | static_cast<uint32_t>(u[2]) << 16 |
           static_cast<uint32_t>(u[1]) << 8 | u[0];
}

inline char* WriteBE16(char* p, uint32_t v) {
    p[0] = static_cast<char>(v >> 8);
    p[1] = static_cast<char>(v);
    return p + 2;
}
inline char* WriteBE24(char* p, uint32_t v) {
    p[0] = static_cast<char>(v >> 16);
    return WriteBE16(p + 1, v);
}
inline char* WriteBE32(char* p, uint32_t v) {
    p[0] = static_cast<char>(v >> 24);
    return WriteBE24(p + 1, v);
}
inline char* WriteLE32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
    return p + 4;
}

}  // namespace rtmp_wire
