#include "utils/ov_sha256.h"

namespace {

int ToResult(int mbedtls_result) { return mbedtls_result == 0 ? 0 : -1; }

}  // namespace

void ov_sha256_init(ov_sha256_context* ctx) {
    if (ctx != nullptr) mbedtls_sha256_init(&ctx->impl);
}

int ov_sha256_starts(ov_sha256_context* ctx) {
    if (ctx == nullptr) return -1;
    return ToResult(mbedtls_sha256_starts_ret(&ctx->impl, 0));
}

int ov_sha256_update(ov_sha256_context* ctx, const uint8_t* input, size_t length) {
    if (ctx == nullptr || (input == nullptr && length > 0)) return -1;
    return ToResult(mbedtls_sha256_update_ret(&ctx->impl, input, length));
}

int ov_sha256_finish(ov_sha256_context* ctx, uint8_t output[OV_SHA256_DIGEST_SIZE]) {
    if (ctx == nullptr || output == nullptr) return -1;
    return ToResult(mbedtls_sha256_finish_ret(&ctx->impl, output));
}

void ov_sha256_free(ov_sha256_context* ctx) {
    if (ctx != nullptr) mbedtls_sha256_free(&ctx->impl);
}

int ov_sha256(const uint8_t* input, size_t length, uint8_t output[OV_SHA256_DIGEST_SIZE]) {
    if ((input == nullptr && length > 0) || output == nullptr) return -1;
    return ToResult(mbedtls_sha256_ret(input, length, output, 0));
}
