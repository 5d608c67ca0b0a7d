// MSB-first bit reader over the RBSP of one NAL unit (H.265 7.3.1.1: emulation prevention removed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitStream {
public:
    // nal points after the NAL unit header; the 03 of every 00 00 03 is dropped.
    BitStream(const uint8_t* nal, size_t len);

    // Bits past the end read as 0, so a truncated unit never reads beyond itself.
    uint32_t ReadBits(int count);
    uint64_t ReadBits64(int count);
    bool ReadFlag() { return ReadBits(1) != 0; }
    void SkipBits(size_t count) { index_ += count; }
    // H.265 9.2 Exp-Golomb; saturates at UINT32_MAX for codes longer than 32 bits.
    uint32_t ReadUe();
    int32_t ReadSe();
    bool Exhausted() const { return index_ >= total_bit_; }

private:
    std::vector<uint8_t> buf_;
    size_t index_ = 0;
    size_t total_bit_ = 0;
};
