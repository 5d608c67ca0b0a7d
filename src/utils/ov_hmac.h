// HMAC of RFC 2104 over SHA-256.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define OV_HMAC_SHA256_KEY_MAX 64

// Writes the 32-byte HMAC-SHA-256 of msg under key to digest. Keys up to the 64-byte block are
// zero-padded to it; a longer key, a negative length or a null pointer leaves digest untouched.
void ov_hmac_sha256(const char* msg, int msg_len, char* digest, const char* key, int key_len);

#ifdef __cplusplus
}
#endif
