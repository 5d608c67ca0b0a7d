// Frames whose every byte follows from their sequence number, so a reader can prove each one intact.
#pragma once

#include <cstdint>
#include <vector>

#include "common/ring_buffer.h"

namespace frame_pattern {

inline uint8_t ByteAt(uint64_t sequence, uint32_t position) {
    uint64_t x = sequence * 0x9E3779B97F4A7C15ull + position * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return static_cast<uint8_t>(x * 0x94D049BB133111EBull >> 56);
}

inline std::vector<uint8_t> Bytes(uint64_t sequence, uint32_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i) bytes[i] = ByteAt(sequence, i);
    return bytes;
}

inline MediaSpecialInfo Info(uint64_t sequence, bool key_frame, int type = MEDIA_SPECIAL_TYPE_VIDEO) {
    MediaSpecialInfo info{};
    info.type = type;
    info.present_time = static_cast<uint32_t>(sequence * 40);
    info.key_frame = key_frame ? 1 : 0;
    info.format = 0;
    info.packet_num = sequence;
    return info;
}

// The sequence number is carried in packet_num; the payload and the time must agree with it.
inline bool Intact(const uint8_t* buf, uint32_t size, const MediaSpecialInfo& info) {
    if (info.present_time != static_cast<uint32_t>(info.packet_num * 40)) return false;
    for (uint32_t i = 0; i < size; ++i) {
        if (buf[i] != ByteAt(info.packet_num, i)) return false;
    }
    return true;
}

}  // namespace frame_pattern
