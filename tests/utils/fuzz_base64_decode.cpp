// Decodes arbitrary text with arbitrary capacities; a successful decode must re-encode to the same length.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "utils/ov_base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint32_t capacity = data[0];
    const uint8_t* text = data + 1;
    const uint32_t length = static_cast<uint32_t>(size - 1);
    std::vector<uint8_t> out(capacity);
    uint32_t decoded = 0;
    if (ov_base64decode(text, length, capacity, out.empty() ? nullptr : out.data(), &decoded) != 0) return 0;
    if (decoded > capacity) abort();
    std::vector<uint8_t> again(length + 4);
    uint32_t encoded = 0;
    if (ov_base64encode(out.data(), decoded, static_cast<uint32_t>(again.size()), again.data(), &encoded) != 0) {
        abort();
    }
    if (encoded != length) abort();
    return 0;
}
