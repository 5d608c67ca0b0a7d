#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "utils/ov_hmac.h"
#include "utils/ov_sha256.h"

namespace {

std::string Hex(const void* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[p[i] >> 4]);
        hex.push_back(kDigits[p[i] & 0x0F]);
    }
    return hex;
}

std::string Sha256Hex(const std::string& message) {
    uint8_t digest[OV_SHA256_DIGEST_SIZE];
    EXPECT_EQ(ov_sha256(reinterpret_cast<const uint8_t*>(message.data()), message.size(), digest), 0);
    return Hex(digest, sizeof(digest));
}

// FIPS 180-4 examples (NIST CSRC), plus the one-million "a" message.
TEST(Sha256Test, MatchesStandardExamples) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.message.size();
}

TEST(Sha256Test, StreamingEqualsOneShot) {
    const std::string message(1000, 'x');
    ov_sha256_context ctx;
    ov_sha256_init(&ctx);
    ASSERT_EQ(ov_sha256_starts(&ctx), 0);
    for (size_t i = 0; i < message.size(); i += 7) {
        size_t piece = std::min<size_t>(7, message.size() - i);
        ASSERT_EQ(ov_sha256_update(&ctx, reinterpret_cast<const uint8_t*>(message.data()) + i, piece), 0);
    }
    uint8_t digest[OV_SHA256_DIGEST_SIZE];
    ASSERT_EQ(ov_sha256_finish(&ctx, digest), 0);
    ov_sha256_free(&ctx);
    EXPECT_EQ(Hex(digest, sizeof(digest)), Sha256Hex(message));
}

struct HmacVector {
    std::string key;
    std::string data;
    const char* mac;  // truncated to its length in case 5
};

// RFC 4231 section 4, test cases 1 to 7.
const HmacVector kRfc4231[] = {
    {std::string(20, '\x0b'), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
    {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
    {std::string(20, '\xaa'), std::string(50, '\xdd'),
     "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
    {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
     std::string(50, '\xcd'), "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
    {std::string(20, '\x0c'), "Test With Truncation", "a3b6167473100ee06e0c796c2955552b"},
    {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
     "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    {std::string(131, '\xaa'),
     "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
     "hashed before being used by the HMAC algorithm.",
     "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
};

std::string HmacHex(const std::string& key, const std::string& data) {
    char digest[32];
    memset(digest, 0x5A, sizeof(digest));
    ov_hmac_sha256(data.data(), static_cast<int>(data.size()), digest, key.data(), static_cast<int>(key.size()));
    return Hex(digest, sizeof(digest));
}

TEST(HmacSha256Test, MatchesRfc4231) {
    for (const HmacVector& v : kRfc4231) {
        std::string key = v.key;
        if (key.size() > OV_HMAC_SHA256_KEY_MAX) {
            // RFC 2104 section 2: a key longer than the block is first replaced by its hash. The function
            // takes block-sized keys only, so the caller hashes.
            uint8_t hashed[OV_SHA256_DIGEST_SIZE];
            ASSERT_EQ(ov_sha256(reinterpret_cast<const uint8_t*>(key.data()), key.size(), hashed), 0);
            key.assign(reinterpret_cast<const char*>(hashed), sizeof(hashed));
        }
        const std::string expected = v.mac;
        EXPECT_EQ(HmacHex(key, v.data).substr(0, expected.size()), expected) << v.data;
    }
}

TEST(HmacSha256Test, KeyOfExactlyOneBlockIsAccepted) {
    EXPECT_EQ(HmacHex(std::string(64, 'k'), "m"), "3b7a8d453e76edb519238a515105a57508d0f169f480ebeee120a9e7803289fa");
}

TEST(HmacSha256Test, RefusedArgumentsLeaveTheDigestUntouched) {
    const std::string untouched(32, '\x5A');
    const std::string long_key(65, 'k');
    char digest[32];
    struct Case {
        const char* name;
        const char* msg;
        int msg_len;
        const char* key;
        int key_len;
    };
    const Case cases[] = {
        {"65-byte key", "m", 1, long_key.data(), 65},
        {"null message", nullptr, 1, "k", 1},
        {"null key", "m", 1, nullptr, 1},
        {"negative message length", "m", -1, "k", 1},
        {"negative key length", "m", 1, "k", -1},
    };
    for (const Case& c : cases) {
        memset(digest, 0x5A, sizeof(digest));
        ov_hmac_sha256(c.msg, c.msg_len, digest, c.key, c.key_len);
        EXPECT_EQ(std::string(digest, sizeof(digest)), untouched) << c.name;
    }
    ov_hmac_sha256("m", 1, nullptr, "k", 1);  // must simply return
}

}  // namespace
