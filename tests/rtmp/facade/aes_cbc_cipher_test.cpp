// AES-128-CBC with PKCS#7 padding: the NIST SP 800-38A F.2.1 vector, the padding rule, and refusal
// of ciphertexts whose padding is not valid.
#include "rtmp/rtmp_sdk/aes_cbc_cipher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

const std::vector<uint8_t> kKey = Hex("2b7e151628aed2a6abf7158809cf4f3c");
const std::vector<uint8_t> kIv = Hex("000102030405060708090a0b0c0d0e0f");

TEST(AesCbcCipher, MatchesTheNistCbcVectorAndAppendsAFullPaddingBlock) {
    std::vector<uint8_t> data =
        Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
            "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const std::vector<uint8_t> expected =
        Hex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
            "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
    AesCbcCipher cipher;
    cipher.SetKey(kKey.data(), kIv.data());
    data.resize(64 + 16);
    ASSERT_EQ(cipher.EncryptInPlace(data.data(), 64, data.size()), 80u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 64), expected);
}

TEST(AesCbcCipher, EveryMessageStartsFromTheConfiguredIv) {
    AesCbcCipher cipher;
    cipher.SetKey(kKey.data(), kIv.data());
    std::vector<uint8_t> first(32, 0x11), second(32, 0x11);
    cipher.EncryptInPlace(first.data(), 10, first.size());
    cipher.EncryptInPlace(second.data(), 10, second.size());
    EXPECT_EQ(first, second);
}

TEST(AesCbcCipher, PadsOneToSixteenBytesAndDecryptsBack) {
    AesCbcCipher cipher;
    cipher.SetKey(kKey.data(), kIv.data());
    for (size_t len = 0; len <= 48; ++len) {
        std::vector<uint8_t> clear(len);
        for (size_t i = 0; i < len; ++i) clear[i] = static_cast<uint8_t>(i * 7 + 3);
        std::vector<uint8_t> data = clear;
        data.resize(len + 16);
        size_t padded = cipher.EncryptInPlace(data.data(), len, data.size());
        EXPECT_EQ(padded, (len / 16 + 1) * 16) << len;
        EXPECT_EQ(padded, AesCbcPaddedLength(len)) << len;
        ASSERT_EQ(cipher.DecryptInPlace(data.data(), padded), static_cast<long>(len)) << len;
        EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + static_cast<long>(len)), clear) << len;
    }
}

TEST(AesCbcCipher, RefusesShortCapacityAndInvalidCiphertexts) {
    AesCbcCipher cipher;
    cipher.SetKey(kKey.data(), kIv.data());
    std::vector<uint8_t> room(32);
    EXPECT_EQ(cipher.EncryptInPlace(room.data(), 16, 31), 0u);

    struct Case {
        const char* name;
        std::vector<uint8_t> clear_block;  // encrypted without padding, then offered for decryption
    };
    std::vector<uint8_t> zero_pad(16, 0x41);
    zero_pad[15] = 0;
    std::vector<uint8_t> too_long(16, 17);
    std::vector<uint8_t> uneven(16, 4);
    uneven[13] = 5;
    const Case cases[] = {{"pad byte 0", zero_pad}, {"pad byte 17", too_long}, {"pad bytes differ", uneven}};
    for (const Case& c : cases) {
        // Encrypting 16 bytes then dropping the padding block leaves a raw one-block ciphertext.
        std::vector<uint8_t> data = c.clear_block;
        data.resize(32);
        cipher.EncryptInPlace(data.data(), 16, data.size());
        EXPECT_EQ(cipher.DecryptInPlace(data.data(), 16), -1) << c.name;
    }
    std::vector<uint8_t> partial(20, 0);
    EXPECT_EQ(cipher.DecryptInPlace(partial.data(), 20), -1);
    EXPECT_EQ(cipher.DecryptInPlace(partial.data(), 0), -1);
}

}  // namespace
