// SHA-256 of FIPS 180-4, one-shot and streaming.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <mbedtls/sha256.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OV_SHA256_DIGEST_SIZE 32

typedef struct ov_sha256_context {
    mbedtls_sha256_context impl;
} ov_sha256_context;

// init before any other use, free when done (also after a failure); starts begins a new message.
// The int results are 0 on success and -1 on failure.
void ov_sha256_init(ov_sha256_context* ctx);
int ov_sha256_starts(ov_sha256_context* ctx);
int ov_sha256_update(ov_sha256_context* ctx, const uint8_t* input, size_t length);
int ov_sha256_finish(ov_sha256_context* ctx, uint8_t output[OV_SHA256_DIGEST_SIZE]);
void ov_sha256_free(ov_sha256_context* ctx);

int ov_sha256(const uint8_t* input, size_t length, uint8_t output[OV_SHA256_DIGEST_SIZE]);

#ifdef __cplusplus
}
#endif
