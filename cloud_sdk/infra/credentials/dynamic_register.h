// Dynamic registration: a device that knows only its product secret obtains its device secret.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "infra/credentials/sdk_options.h"

namespace tessera {

constexpr const char* kDeviceSecretKvKey = "DyncRegDeviceSecret";
constexpr size_t kRegisterRandomLength = 15;

// Fifteen characters, each a capital letter, a small letter or a digit, the class chosen evenly first.
std::string MakeRegisterRandom(const std::function<uint32_t(uint32_t)>& random_below);
// The form body of the registration request, signed with HMAC-SHA256 keyed with the product secret.
std::optional<std::string> RegisterRequestBody(const std::string& product_key, const std::string& device_name,
                                               const std::string& random, const std::string& product_secret);
// The device secret of a reply {"code":200,"data":{"deviceSecret":"..."}}, at most 64 characters.
std::optional<std::string> ParseRegisterReply(std::string_view reply);

// The stored secret, or a new one from the registration service (which is then stored).
std::optional<std::string> ObtainDeviceSecret(const SdkOptions& options);

}  // namespace tessera
