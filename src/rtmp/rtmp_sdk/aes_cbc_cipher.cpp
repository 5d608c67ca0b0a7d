#include "rtmp/rtmp_sdk/aes_cbc_cipher.h"

#include <cstring>

AesCbcCipher::AesCbcCipher() {
    mbedtls_aes_init(&encrypt_);
    mbedtls_aes_init(&decrypt_);
}

AesCbcCipher::~AesCbcCipher() {
    mbedtls_aes_free(&encrypt_);
    mbedtls_aes_free(&decrypt_);
}

void AesCbcCipher::SetKey(const uint8_t key[kAesBlockBytes], const uint8_t iv[kAesBlockBytes]) {
    mbedtls_aes_setkey_enc(&encrypt_, key, 128);
    mbedtls_aes_setkey_dec(&decrypt_, key, 128);
    std::memcpy(iv_, iv, kAesBlockBytes);
}

size_t AesCbcCipher::EncryptInPlace(uint8_t* data, size_t len, size_t capacity) {
    size_t padded = AesCbcPaddedLength(len);
    if (capacity < padded) return 0;
    std::memset(data + len, static_cast<int>(padded - len), padded - len);
    uint8_t iv[kAesBlockBytes];
    std::memcpy(iv, iv_, kAesBlockBytes);
    mbedtls_aes_crypt_cbc(&encrypt_, MBEDTLS_AES_ENCRYPT, padded, iv, data, data);
    return padded;
}

long AesCbcCipher::DecryptInPlace(uint8_t* data, size_t len) {
    if (len == 0 || len % kAesBlockBytes != 0) return -1;
    uint8_t iv[kAesBlockBytes];
    std::memcpy(iv, iv_, kAesBlockBytes);
    mbedtls_aes_crypt_cbc(&decrypt_, MBEDTLS_AES_DECRYPT, len, iv, data, data);
    size_t pad = data[len - 1];
    if (pad == 0 || pad > kAesBlockBytes) return -1;
    for (size_t i = len - pad; i < len; ++i) {
        if (data[i] != pad) return -1;
    }
    return static_cast<long>(len - pad);
}
