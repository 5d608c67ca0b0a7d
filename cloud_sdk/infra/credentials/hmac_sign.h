// Keyed digests written as lowercase hexadecimal text, as the cloud's signatures are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessera {

constexpr size_t kMaxSignKeyLength = 64;
constexpr size_t kMaxSignTextLength = 511;

enum class SignDigest { kSha1, kSha256 };

// HMAC of text keyed with key; nullopt for a key above 64 bytes, a text above 511 characters or a
// failure of the digest library.
std::optional<std::string> HmacHex(SignDigest digest, std::string_view key, std::string_view text);

}  // namespace tessera
