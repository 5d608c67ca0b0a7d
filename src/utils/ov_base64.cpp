#include "utils/ov_base64.h"

#include <array>
#include <cstddef>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kPad = '=';

// Characters outside the alphabet (padding included) decode as 0.
constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (uint8_t value = 0; value < 64; ++value) table[static_cast<uint8_t>(kAlphabet[value])] = value;
    return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = MakeDecodeTable();

uint64_t EncodedLength(uint32_t length) { return (static_cast<uint64_t>(length) + 2) / 3 * 4; }

uint32_t DecodedLength(const uint8_t* text, uint32_t length) {
    if (length == 0) return 0;
    uint32_t decoded = length / 4 * 3;
    if (text[length - 1] == kPad) {
        --decoded;
        if (text[length - 2] == kPad) --decoded;
    }
    return decoded;
}

// Writes the first count (1 to 3) bytes of the 24-bit group.
void PutGroup(uint32_t group, uint32_t count, uint8_t* out) {
    for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(group >> (16 - 8 * i));
}

}  // namespace

int ov_base64encode(const uint8_t* data, uint32_t length, uint32_t capacity, uint8_t* output,
                    uint32_t* output_length) {
    if (output_length == nullptr || (data == nullptr && length > 0)) return -1;
    const uint64_t needed = EncodedLength(length);
    if (needed > UINT32_MAX) return -1;
    *output_length = static_cast<uint32_t>(needed);
    if (output == nullptr || capacity < needed) return -1;

    uint8_t* out = output;
    for (uint32_t i = 0; i < length; i += 3) {
        const uint32_t remain = length - i;
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (remain > 1) group |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (remain > 2) group |= data[i + 2];
        *out++ = kAlphabet[(group >> 18) & 0x3F];
        *out++ = kAlphabet[(group >> 12) & 0x3F];
        *out++ = remain > 1 ? kAlphabet[(group >> 6) & 0x3F] : kPad;
        *out++ = remain > 2 ? kAlphabet[group & 0x3F] : kPad;
    }
    return 0;
}

int ov_base64decode(const uint8_t* text, uint32_t length, uint32_t capacity, uint8_t* output,
                    uint32_t* output_length) {
    if (output_length == nullptr || length % 4 != 0 || (text == nullptr && length > 0)) return -1;
    const uint32_t decoded = DecodedLength(text, length);
    *output_length = decoded;
    if (decoded > capacity || (output == nullptr && decoded > 0)) return -1;

    uint32_t written = 0;
    for (uint32_t i = 0; i < length && written < decoded; i += 4) {
        uint32_t group = 0;
        for (uint32_t k = 0; k < 4; ++k) group = (group << 6) | kDecodeTable[text[i + k]];
        const uint32_t count = decoded - written < 3 ? decoded - written : 3;
        PutGroup(group, count, output + written);
        written += count;
    }
    return 0;
}
