// AES-128-CBC over whole messages, every message chained from the configured IV (SP 800-38A 6.2),
// with PKCS#7 padding of 1 to 16 bytes.
#pragma once

#include <mbedtls/aes.h>

#include <cstddef>
#include <cstdint>

constexpr size_t kAesBlockBytes = 16;

// Bytes a range of len bytes takes once padded: always 1 to 16 more.
constexpr size_t AesCbcPaddedLength(size_t len) { return len + (kAesBlockBytes - len % kAesBlockBytes); }

class AesCbcCipher {
public:
    AesCbcCipher();
    ~AesCbcCipher();
    AesCbcCipher(const AesCbcCipher&) = delete;
    AesCbcCipher& operator=(const AesCbcCipher&) = delete;

    void SetKey(const uint8_t key[kAesBlockBytes], const uint8_t iv[kAesBlockBytes]);

    // Pads data[0..len) in place and encrypts it; capacity must be at least AesCbcPaddedLength(len).
    // Returns the padded length, 0 when capacity is short.
    size_t EncryptInPlace(uint8_t* data, size_t len, size_t capacity);

    // Decrypts data[0..len) in place and returns the length without padding; -1 when len is not a
    // whole number of blocks or the padding is not valid PKCS#7.
    long DecryptInPlace(uint8_t* data, size_t len);

private:
    mbedtls_aes_context encrypt_;
    mbedtls_aes_context decrypt_;
    uint8_t iv_[kAesBlockBytes] = {};
};
