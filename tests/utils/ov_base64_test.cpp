#include "utils/ov_base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

struct Result {
    int ret;
    uint32_t length;
    std::string text;
};

Result Encode(const std::string& data, uint32_t capacity) {
    std::vector<uint8_t> out(capacity + 1, 0xEE);
    uint32_t length = 12345;
    int ret = ov_base64encode(Bytes(data), static_cast<uint32_t>(data.size()), capacity, out.data(), &length);
    std::string text = ret == 0 ? std::string(out.begin(), out.begin() + length) : std::string();
    EXPECT_EQ(out[capacity], 0xEE) << "wrote past the capacity";
    return {ret, length, text};
}

Result Decode(const std::string& text, uint32_t capacity) {
    std::vector<uint8_t> out(capacity + 1, 0xEE);
    uint32_t length = 12345;
    int ret = ov_base64decode(Bytes(text), static_cast<uint32_t>(text.size()), capacity, out.data(), &length);
    std::string data = ret == 0 ? std::string(out.begin(), out.begin() + length) : std::string();
    EXPECT_EQ(out[capacity], 0xEE) << "wrote past the capacity";
    return {ret, length, data};
}

// RFC 4648 section 10.
struct Vector {
    const char* data;
    const char* encoded;
};
const Vector kRfc4648Vectors[] = {
    {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesRfc4648Vectors) {
    for (const Vector& v : kRfc4648Vectors) {
        Result r = Encode(v.data, 64);
        EXPECT_EQ(r.ret, 0) << v.data;
        EXPECT_EQ(r.text, v.encoded) << v.data;
        EXPECT_EQ(r.length, std::string(v.encoded).size()) << v.data;
    }
}

TEST(Base64Test, DecodesRfc4648Vectors) {
    for (const Vector& v : kRfc4648Vectors) {
        Result r = Decode(v.encoded, 64);
        EXPECT_EQ(r.ret, 0) << v.encoded;
        EXPECT_EQ(r.text, v.data) << v.encoded;
    }
}

TEST(Base64Test, RoundTripsEveryByteValue) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    for (size_t cut = 0; cut < 4; ++cut) {
        std::string data = all.substr(cut);
        Result encoded = Encode(data, 400);
        ASSERT_EQ(encoded.ret, 0);
        Result decoded = Decode(encoded.text, 400);
        ASSERT_EQ(decoded.ret, 0);
        EXPECT_EQ(decoded.text, data) << "cut " << cut;
    }
}

TEST(Base64Test, EncodeCapacityIsCheckedAfterTheLengthIsSet) {
    Result exact = Encode("ab", 4);
    EXPECT_EQ(exact.ret, 0);
    EXPECT_EQ(exact.text, "YWI=");
    Result short_by_one = Encode("abc", 3);
    EXPECT_EQ(short_by_one.ret, -1);
    EXPECT_EQ(short_by_one.length, 4u);

    uint32_t length = 0;
    EXPECT_EQ(ov_base64encode(Bytes("abc"), 3, 16, nullptr, &length), -1);
    EXPECT_EQ(length, 4u);
}

TEST(Base64Test, DecodeRefusals) {
    struct Case {
        const char* text;
        uint32_t capacity;
        int ret;
        uint32_t length;  // reported length, when the call sets it
    };
    const Case cases[] = {
        {"Zm9vY", 16, -1, 12345},                       // not a multiple of 4: length untouched
        {"AAAAAAAAAAAAAAAAAAAAAAAA", 16, -1, 18},       // 18 bytes do not fit 16
        {"AAAAAAAAAAAAAAAAAAAAAA==", 16, 0, 16},        // 16 bytes fit exactly
        {"Zm8=", 2, 0, 2},
        {"Zm8=", 1, -1, 2},
    };
    for (const Case& c : cases) {
        Result r = Decode(c.text, c.capacity);
        EXPECT_EQ(r.ret, c.ret) << c.text;
        EXPECT_EQ(r.length, c.length) << c.text;
    }
}

TEST(Base64Test, CharactersOutsideTheAlphabetCountAsZero) {
    Result r = Decode("!!!!", 8);
    ASSERT_EQ(r.ret, 0);
    EXPECT_EQ(r.text, std::string(3, '\0'));
    Result padded_inside = Decode("Zg=A", 8);  // only trailing "=" shorten the result
    ASSERT_EQ(padded_inside.ret, 0);
    EXPECT_EQ(padded_inside.length, 3u);
}

TEST(Base64Test, NullPointersAreRefused) {
    uint32_t length = 0;
    uint8_t out[8];
    EXPECT_EQ(ov_base64decode(Bytes("Zm9v"), 4, 8, out, nullptr), -1);
    EXPECT_EQ(ov_base64decode(nullptr, 4, 8, out, &length), -1);
    EXPECT_EQ(ov_base64decode(Bytes("Zm9v"), 4, 8, nullptr, &length), -1);
    EXPECT_EQ(ov_base64decode(nullptr, 0, 0, nullptr, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(ov_base64encode(nullptr, 3, 8, out, &length), -1);
    EXPECT_EQ(ov_base64encode(Bytes("a"), 1, 8, out, nullptr), -1);
}

}  // namespace
