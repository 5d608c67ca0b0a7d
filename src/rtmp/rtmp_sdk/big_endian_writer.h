// Appends big-endian integers and bytes to a caller's buffer (network order, as FLV and hvcC want).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class BigEndianWriter {
public:
    explicit BigEndianWriter(uint8_t* out) : start_(out), cursor_(out) {}

    void U8(uint32_t value) { *cursor_++ = static_cast<uint8_t>(value); }
    void U16(uint32_t value) { Uint(value, 2); }
    void U24(uint32_t value) { Uint(value, 3); }
    void U32(uint32_t value) { Uint(value, 4); }
    void Uint(uint64_t value, int bytes) {
        for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) U8(static_cast<uint32_t>(value >> shift));
    }
    void Bytes(const uint8_t* data, size_t len) {
        if (len > 0) std::memcpy(cursor_, data, len);
        cursor_ += len;
    }
    size_t size() const { return static_cast<size_t>(cursor_ - start_); }

private:
    uint8_t* start_;
    uint8_t* cursor_;
};
