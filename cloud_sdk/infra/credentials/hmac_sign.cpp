#include "infra/credentials/hmac_sign.h"

#include <mbedtls/md.h>

namespace tessera {
namespace {

mbedtls_md_type_t MdType(SignDigest digest) {
    return digest == SignDigest::kSha1 ? MBEDTLS_MD_SHA1 : MBEDTLS_MD_SHA256;
}

std::string ToHex(const unsigned char* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return hex;
}

}  // namespace

std::optional<std::string> HmacHex(SignDigest digest, std::string_view key, std::string_view text) {
    if (key.size() > kMaxSignKeyLength || text.size() > kMaxSignTextLength) return std::nullopt;
    const mbedtls_md_info_t* info = mbedtls_md_info_from_type(MdType(digest));
    if (info == nullptr) return std::nullopt;
    unsigned char output[MBEDTLS_MD_MAX_SIZE];
    if (mbedtls_md_hmac(info, reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                        reinterpret_cast<const unsigned char*>(text.data()), text.size(), output) != 0) {
        return std::nullopt;
    }
    return ToHex(output, mbedtls_md_get_size(info));
}

}  // namespace tessera
