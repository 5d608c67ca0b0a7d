// AMF0 codec: exact bytes of each encoder, decoding of every supported value and refusal of
// malformed or unsupported input.
#include "rtmp/rtmp_sdk/engine/amf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine_test_util.h"

namespace {

using enginetest::EngineLog;

std::string HexOf(const char* begin, const char* end) {
    return enginetest::Hex(std::vector<char>(begin, end));
}

std::vector<char> Bytes(const std::string& hex) {
    std::vector<char> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const AVal kApp = AVC("app");
const AVal kLive = AVC("live");

struct EncodeCase {
    const char* name;
    std::function<char*(char*, char*)> encode;
    std::string hex;
};

const EncodeCase kEncodeCases[] = {
    {"Number", [](char* p, char* e) { return AMF_EncodeNumber(p, e, 1.0); }, "003ff0000000000000"},
    {"BooleanTrue", [](char* p, char* e) { return AMF_EncodeBoolean(p, e, 7); }, "0101"},
    {"BooleanFalse", [](char* p, char* e) { return AMF_EncodeBoolean(p, e, 0); }, "0100"},
    {"String", [](char* p, char* e) { return AMF_EncodeString(p, e, &kLive); }, "0200046c697665"},
    {"EmptyString", [](char* p, char* e) { const AVal v{"", 0}; return AMF_EncodeString(p, e, &v); }, "020000"},
    {"Null", [](char* p, char* e) { return AMF_EncodeNull(p, e); }, "05"},
    {"NamedString", [](char* p, char* e) { return AMF_EncodeNamedString(p, e, &kApp, &kLive); },
     "00036170700200046c697665"},
    {"NamedNumber", [](char* p, char* e) { return AMF_EncodeNamedNumber(p, e, &kApp, -2.0); },
     "000361707000c000000000000000"},
    {"NamedBoolean", [](char* p, char* e) { return AMF_EncodeNamedBoolean(p, e, &kApp, 1); }, "00036170700101"},
    {"Object", [](char* p, char* e) {
         AMFObject object;
         AMFObjectProperty app;
         app.p_name = kApp;
         app.p_type = AMF_STRING;
         app.p_aval = kLive;
         AMF_AddProp(&object, &app);
         *p = AMF_OBJECT;
         return AMF_Encode(&object, p + 1, e);
     }, "0300036170700200046c697665000009"},
};

class AmfEncodeTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(AmfEncodeTest, WritesTheExactBytesAndRefusesAShortBuffer) {
    const EncodeCase& c = GetParam();
    char buffer[64];
    char* end = c.encode(buffer, buffer + sizeof buffer);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(HexOf(buffer, end), c.hex);
    const size_t exact = static_cast<size_t>(end - buffer);
    EXPECT_NE(c.encode(buffer, buffer + exact), nullptr);
    EXPECT_EQ(c.encode(buffer, buffer + exact - 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Values, AmfEncodeTest, ::testing::ValuesIn(kEncodeCases),
                         [](const ::testing::TestParamInfo<EncodeCase>& info) { return std::string(info.param.name); });

TEST(AmfEncodeTest, StringsOverSixtyFourKiBBecomeLongStrings) {
    const std::string text(70000, 'x');
    const AVal value{text.data(), static_cast<int>(text.size())};
    std::vector<char> buffer(text.size() + 5);
    char* end = AMF_EncodeString(buffer.data(), buffer.data() + buffer.size(), &value);
    ASSERT_EQ(end, buffer.data() + buffer.size());
    EXPECT_EQ(HexOf(buffer.data(), buffer.data() + 5), "0c00011170");
}

TEST(AmfEncodeTest, UnknownTypeIsRefusedWithItsLogLine) {
    EngineLog log;
    AMFObjectProperty prop;
    prop.p_type = AMF_REFERENCE;
    char buffer[16];
    EXPECT_EQ(AMFProp_Encode(&prop, buffer, buffer + sizeof buffer), nullptr);
    EXPECT_TRUE(log.HasSubstring(", invalid type. 7")) << log.Dump();
}

struct DecodeCase {
    const char* name;
    std::string hex;
    int decode_names;
    int props;  // -1: refused
};

const DecodeCase kDecodeCases[] = {
    {"Command", "0200096465636f6e6e656374003ff000000000000003000361707002000461626364000009050101", 0, 5},
    {"NamedProperties", "0003617070003ff00000000000000001620101000009", 1, 2},
    {"NamedWithoutEnd", "0003617070003ff0000000000000", 1, 1},
    {"EcmaArray", "0800000001000161003ff0000000000000000009", 0, 1},
    {"StrictArray", "0a00000002003ff000000000000005", 0, 1},
    {"Date", "0b3ff00000000000000078", 0, 1},
    {"UndefinedAndUnsupported", "060d", 0, 2},
    {"LongString", "0c000000026162", 0, 1},
    {"XmlDocument", "0f000000036162630f00000000", 0, 2},
    {"TruncatedNumber", "003ff0", 0, -1},
    {"StringPastTheEnd", "0200ff61", 0, -1},
    {"LongStringPastTheEnd", "0c7fffffff61", 0, -1},
    {"ObjectWithoutEnd", "03000161003ff0000000000000", 0, -1},
    {"StrictArrayCountLie", "0affffffff05", 0, -1},
    {"MovieClip", "04", 0, -1},
    {"Reference", "070001", 0, -1},
    {"RecordSet", "0e", 0, -1},
    {"TypedObject", "10", 0, -1},
    {"Amf3", "1101", 0, -1},
    {"EmptyName", "00", 1, -1},
};

class AmfDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(AmfDecodeTest, DecodesValidInputAndRefusesTheRest) {
    const DecodeCase& c = GetParam();
    std::vector<char> bytes = Bytes(c.hex);
    AMFObject object;
    const int used = AMF_Decode(&object, bytes.data(), static_cast<int>(bytes.size()), c.decode_names);
    if (c.props < 0) {
        EXPECT_EQ(used, -1);
        EXPECT_EQ(AMF_CountProp(&object), 0);
        return;
    }
    EXPECT_EQ(used, static_cast<int>(bytes.size()));
    EXPECT_EQ(AMF_CountProp(&object), c.props);
}

INSTANTIATE_TEST_SUITE_P(Inputs, AmfDecodeTest, ::testing::ValuesIn(kDecodeCases),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(AmfDecodeTest, DecodedCommandReadsBackThroughTheAccessorsAndReencodesIdentically) {
    const std::vector<char> bytes =
        Bytes("0200096465636f6e6e656374003ff000000000000003000361707002000461626364000009050101");
    AMFObject command;
    ASSERT_GT(AMF_Decode(&command, bytes.data(), static_cast<int>(bytes.size()), 0), 0);
    AVal name;
    AMFProp_GetString(AMF_GetProp(&command, nullptr, 0), &name);
    EXPECT_EQ(std::string(name.av_val, static_cast<size_t>(name.av_len)), "deconnect");
    EXPECT_EQ(AMFProp_GetNumber(AMF_GetProp(&command, nullptr, 1)), 1.0);
    AMFObject info;
    AMFProp_GetObject(AMF_GetProp(&command, nullptr, 2), &info);
    AVal app;
    AMFProp_GetString(AMF_GetProp(&info, &kApp, -1), &app);
    EXPECT_EQ(std::string(app.av_val, static_cast<size_t>(app.av_len)), "abcd");
    EXPECT_EQ(AMFProp_GetType(AMF_GetProp(&command, nullptr, 3)), AMF_NULL);
    EXPECT_EQ(AMFProp_GetBoolean(AMF_GetProp(&command, nullptr, 4)), 1);

    std::vector<char> again(bytes.size());
    char* p = again.data();
    for (int i = 0; i < AMF_CountProp(&command) && p != nullptr; ++i) {
        p = AMFProp_Encode(AMF_GetProp(&command, nullptr, i), p, again.data() + again.size());
    }
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(again, bytes);
}

TEST(AmfDecodeTest, MissingAndMistypedPropertiesReadAsEmpty) {
    const std::vector<char> bytes = Bytes("003ff0000000000000");
    AMFObject values;
    ASSERT_EQ(AMF_Decode(&values, bytes.data(), static_cast<int>(bytes.size()), 0), 9);
    const AMFObjectProperty* missing = AMF_GetProp(&values, &kApp, -1);
    EXPECT_FALSE(AMFProp_IsValid(missing));
    EXPECT_FALSE(AMFProp_IsValid(AMF_GetProp(&values, nullptr, 5)));
    AVal text{"x", 1};
    AMFProp_GetString(AMF_GetProp(&values, nullptr, 0), &text);
    EXPECT_EQ(text.av_len, 0);
    AMFObject inner;
    AMF_AddProp(&inner, AMF_GetProp(&values, nullptr, 0));
    AMFProp_GetObject(AMF_GetProp(&values, nullptr, 0), &inner);
    EXPECT_EQ(AMF_CountProp(&inner), 0);
}

TEST(AmfDecodeTest, RefusalsLogTheirFixedTexts) {
    struct Refusal {
        std::string hex;
        const char* text;
    };
    const Refusal refusals[] = {{"04", "AMF_MOVIECLIP reserved!"},
                                {"07", "AMF_REFERENCE not supported!"},
                                {"0e", "AMF_RECORDSET reserved!"},
                                {"10", "AMF_TYPED_OBJECT not supported!"}};
    for (const Refusal& refusal : refusals) {
        EngineLog log;
        std::vector<char> bytes = Bytes(refusal.hex);
        AMFObject object;
        EXPECT_EQ(AMF_Decode(&object, bytes.data(), static_cast<int>(bytes.size()), 0), -1);
        EXPECT_TRUE(log.Has(refusal.text)) << log.Dump();
    }
}

TEST(AmfDecodeTest, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
    std::string hex;
    for (int i = 0; i < 10000; ++i) hex += "03000161";
    const std::vector<char> bytes = Bytes(hex);
    AMFObject object;
    EXPECT_EQ(AMF_Decode(&object, bytes.data(), static_cast<int>(bytes.size()), 0), -1);
}

}  // namespace
