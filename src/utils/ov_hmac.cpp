#include "utils/ov_hmac.h"

#include <mbedtls/md.h>

#include <cstddef>

void ov_hmac_sha256(const char* msg, int msg_len, char* digest, const char* key, int key_len) {
    if (msg == nullptr || digest == nullptr || key == nullptr) return;
    if (msg_len < 0 || key_len < 0 || key_len > OV_HMAC_SHA256_KEY_MAX) return;
    const mbedtls_md_info_t* sha256 = mbedtls_md_info_from_type(MBEDTLS_MD_SHA256);
    if (sha256 == nullptr) return;
    unsigned char result[32];
    if (mbedtls_md_hmac(sha256, reinterpret_cast<const unsigned char*>(key), static_cast<size_t>(key_len),
                        reinterpret_cast<const unsigned char*>(msg), static_cast<size_t>(msg_len), result) != 0) {
        return;
    }
    for (size_t i = 0; i < sizeof(result); ++i) digest[i] = static_cast<char>(result[i]);
}
