#include "services/ota/ota_digest.h"

namespace tessera {
namespace {

std::string Hex(const unsigned char* bytes, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xf];
    }
    return text;
}

}  // namespace

FirmwareDigest::FirmwareDigest() {
    mbedtls_md5_init(&md5_);
    mbedtls_sha256_init(&sha256_);
    Restart();
}

FirmwareDigest::~FirmwareDigest() {
    mbedtls_md5_free(&md5_);
    mbedtls_sha256_free(&sha256_);
}

void FirmwareDigest::Restart() {
    mbedtls_md5_starts_ret(&md5_);
    mbedtls_sha256_starts_ret(&sha256_, 0);
}

void FirmwareDigest::Update(const char* bytes, size_t length) {
    auto* data = reinterpret_cast<const unsigned char*>(bytes);
    mbedtls_md5_update_ret(&md5_, data, length);
    mbedtls_sha256_update_ret(&sha256_, data, length);
}

// Finishing works on copies, so the running digests can go on.
std::string FirmwareDigest::Md5Hex() {
    mbedtls_md5_context copy;
    mbedtls_md5_init(&copy);
    mbedtls_md5_clone(&copy, &md5_);
    unsigned char digest[16];
    mbedtls_md5_finish_ret(&copy, digest);
    mbedtls_md5_free(&copy);
    return Hex(digest, sizeof(digest));
}

std::string FirmwareDigest::Sha256Hex() {
    mbedtls_sha256_context copy;
    mbedtls_sha256_init(&copy);
    mbedtls_sha256_clone(&copy, &sha256_);
    unsigned char digest[32];
    mbedtls_sha256_finish_ret(&copy, digest);
    mbedtls_sha256_free(&copy);
    return Hex(digest, sizeof(digest));
}

}  // namespace tessera
