#include "wire_bytes.h"

#include <mbedtls/aes.h>

#include <cstring>

namespace facadetest {

namespace {
void AppendU16(Bytes* out, size_t value) {
    out->push_back(static_cast<uint8_t>(value >> 8));
    out->push_back(static_cast<uint8_t>(value));
}
}  // namespace

Bytes AmfString(const std::string& text) {
    Bytes out = {0x02};
    AppendU16(&out, text.size());
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

Bytes AmfNumber(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes out = {0x00};
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(bits >> shift));
    return out;
}

Bytes AmfBoolean(bool value) { return {0x01, static_cast<uint8_t>(value ? 1 : 0)}; }

Bytes AmfNull() { return {0x05}; }

Bytes AmfObject(const std::vector<std::pair<std::string, Bytes>>& properties) {
    Bytes out = {0x03};
    for (const auto& [name, value] : properties) {
        AppendU16(&out, name.size());
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), value.begin(), value.end());
    }
    out.insert(out.end(), {0x00, 0x00, 0x09});
    return out;
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::string ToHex(const Bytes& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 15]);
    }
    return hex;
}

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes AesCbcEncrypt(const Bytes& key, const Bytes& iv, const Bytes& clear) {
    Bytes data = clear;
    size_t pad = 16 - clear.size() % 16;
    data.insert(data.end(), pad, static_cast<uint8_t>(pad));
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    mbedtls_aes_setkey_enc(&aes, key.data(), 128);
    Bytes chain = iv;
    mbedtls_aes_crypt_cbc(&aes, MBEDTLS_AES_ENCRYPT, data.size(), chain.data(), data.data(), data.data());
    mbedtls_aes_free(&aes);
    return data;
}

Bytes AesCbcDecrypt(const Bytes& key, const Bytes& iv, const Bytes& cipher) {
    if (cipher.empty() || cipher.size() % 16 != 0) return {};
    Bytes data = cipher;
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    mbedtls_aes_setkey_dec(&aes, key.data(), 128);
    Bytes chain = iv;
    mbedtls_aes_crypt_cbc(&aes, MBEDTLS_AES_DECRYPT, data.size(), chain.data(), data.data(), data.data());
    mbedtls_aes_free(&aes);
    size_t pad = data.back();
    if (pad == 0 || pad > 16) return {};
    data.resize(data.size() - pad);
    return data;
}

}  // namespace facadetest
