// Base64 of RFC 4648 section 4: standard alphabet, "=" padding, no line breaks.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Encodes length bytes of data into output. *output_length is set to 4 x ceil(length / 3) first; the call
// then returns -1 when output is null or capacity is smaller than that, 0 otherwise. No terminator is
// written.
int ov_base64encode(const uint8_t* data, uint32_t length, uint32_t capacity, uint8_t* output,
                    uint32_t* output_length);

// Decodes length characters of text into output. -1 when length is not a multiple of 4; otherwise
// *output_length is set to the decoded length (length / 4 x 3, less one per trailing "=", at most two) and
// the call returns -1 when that exceeds capacity, 0 otherwise. Characters outside the alphabet count as 0.
int ov_base64decode(const uint8_t* text, uint32_t length, uint32_t capacity, uint8_t* output,
                    uint32_t* output_length);

#ifdef __cplusplus
}
#endif
