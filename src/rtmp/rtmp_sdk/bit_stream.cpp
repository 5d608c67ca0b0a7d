#include "rtmp/rtmp_sdk/bit_stream.h"

BitStream::BitStream(const uint8_t* nal, size_t len) {
    buf_.reserve(len);
    size_t zeros = 0;
    for (size_t i = 0; i < len; ++i) {
        if (zeros >= 2 && nal[i] == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        buf_.push_back(nal[i]);
    }
    total_bit_ = buf_.size() * 8;
}

uint32_t BitStream::ReadBits(int count) {
    return static_cast<uint32_t>(ReadBits64(count));
}

uint64_t BitStream::ReadBits64(int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i, ++index_) {
        uint64_t bit = 0;
        if (index_ < total_bit_) bit = (buf_[index_ >> 3] >> (7 - (index_ & 7))) & 1u;
        value = (value << 1) | bit;
    }
    return value;
}

uint32_t BitStream::ReadUe() {
    int leading_zeros = 0;
    while (!ReadFlag()) {
        if (++leading_zeros > 31 || Exhausted()) return UINT32_MAX;
    }
    uint64_t value = (uint64_t{1} << leading_zeros) - 1 + ReadBits64(leading_zeros);
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

int32_t BitStream::ReadSe() {
    uint32_t code = ReadUe();
    // H.265 9.2.2: k odd maps to (k+1)/2, k even to -k/2.
    int64_t magnitude = (static_cast<int64_t>(code) + 1) / 2;
    return static_cast<int32_t>((code & 1) ? magnitude : -magnitude);
}
