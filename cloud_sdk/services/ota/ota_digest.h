// Running MD5 and SHA-256 of the image bytes fetched so far.
#pragma once

#include <mbedtls/md5.h>
#include <mbedtls/sha256.h>

#include <cstddef>
#include <string>

namespace tessera {

class FirmwareDigest {
public:
    FirmwareDigest();
    ~FirmwareDigest();
    FirmwareDigest(const FirmwareDigest&) = delete;
    FirmwareDigest& operator=(const FirmwareDigest&) = delete;

    void Restart();
    void Update(const char* bytes, size_t length);
    // Lowercase hexadecimal text of the digests over everything since Restart.
    std::string Md5Hex();
    std::string Sha256Hex();

private:
    mbedtls_md5_context md5_;
    mbedtls_sha256_context sha256_;
};

}  // namespace tessera
