// Test-side builders of the bytes a server sends: AMF0 values (Adobe AMF 0 2.2-2.5), hex text, and
// AES-128-CBC with PKCS#7 padding done with mbedtls directly.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace facadetest {

using Bytes = std::vector<uint8_t>;

Bytes AmfString(const std::string& text);
Bytes AmfNumber(double value);
Bytes AmfBoolean(bool value);
Bytes AmfNull();
Bytes AmfObject(const std::vector<std::pair<std::string, Bytes>>& properties);
Bytes Concat(const std::vector<Bytes>& parts);

std::string ToHex(const Bytes& bytes);
Bytes FromHex(const std::string& hex);

Bytes AesCbcEncrypt(const Bytes& key, const Bytes& iv, const Bytes& clear);
// Empty when the padding is not valid.
Bytes AesCbcDecrypt(const Bytes& key, const Bytes& iv, const Bytes& cipher);

}  // namespace facadetest
