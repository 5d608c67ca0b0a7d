#include "rtmp/rtmp_sdk/engine/amf.h"

#include <cstring>

#include "rtmp/rtmp_sdk/engine/byte_order.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

using rtmp_wire::ReadBE16;
using rtmp_wire::ReadBE32;
using rtmp_wire::WriteBE16;
using rtmp_wire::WriteBE32;

namespace {

// Nested objects deeper than this are refused, so hostile input cannot exhaust the stack.
constexpr int kMaxNestingDepth = 32;
constexpr uint32_t kShortStringMax = 0xFFFF;
const AMFObjectProperty kInvalidProp{};

char* EncodeDouble(char* output, double value) {
    uint64_t bits = 0;
    memcpy(&bits, &value, sizeof bits);
    output = WriteBE32(output, static_cast<uint32_t>(bits >> 32));
    return WriteBE32(output, static_cast<uint32_t>(bits));
}

double DecodeDouble(const char* input) {
    const uint64_t bits = static_cast<uint64_t>(ReadBE32(input)) << 32 | ReadBE32(input + 4);
    double value = 0;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// The UTF-8 string of AMF0 2.4 without a type marker: 16-bit length, bytes.
char* EncodeRawString(char* output, char* outend, const AVal* str) {
    if (str->av_len < 0 || static_cast<uint32_t>(str->av_len) > kShortStringMax) return nullptr;
    if (outend - output < 2 + str->av_len) return nullptr;
    output = WriteBE16(output, static_cast<uint32_t>(str->av_len));
    if (str->av_len > 0) memcpy(output, str->av_val, static_cast<size_t>(str->av_len));
    return output + str->av_len;
}

char* EncodeObjectEnd(char* output, char* outend) {
    if (outend - output < 3) return nullptr;
    output[0] = 0;
    output[1] = 0;
    output[2] = AMF_OBJECT_END;
    return output + 3;
}

char* EncodeProperties(const AMFObject* obj, char* output, char* outend) {
    for (size_t i = 0; i < obj->o_props.size() && output != nullptr; ++i) {
        char* next = AMFProp_Encode(&obj->o_props[i], output, outend);
        if (next == nullptr) RTMP_LOGE("AMF_Encode - failed to encode property in index %d", static_cast<int>(i));
        output = next;
    }
    return output;
}

char* EncodeStrictArray(const AMFObject* obj, char* output, char* outend) {
    if (outend - output < 5) return nullptr;
    *output++ = AMF_STRICT_ARRAY;
    output = WriteBE32(output, static_cast<uint32_t>(obj->o_props.size()));
    for (const AMFObjectProperty& item : obj->o_props) {
        AMFObjectProperty unnamed = item;
        unnamed.p_name = AVal{};
        output = AMFProp_Encode(&unnamed, output, outend);
        if (output == nullptr) return nullptr;
    }
    return output;
}

char* EncodeValue(const AMFObjectProperty* prop, char* output, char* outend) {
    switch (prop->p_type) {
        case AMF_NUMBER:
            return AMF_EncodeNumber(output, outend, prop->p_number);
        case AMF_BOOLEAN:
            return AMF_EncodeBoolean(output, outend, prop->p_number != 0);
        case AMF_STRING:
        case AMF_LONG_STRING:
            return AMF_EncodeString(output, outend, &prop->p_aval);
        case AMF_NULL:
            return AMF_EncodeNull(output, outend);
        case AMF_OBJECT:
            if (output >= outend) return nullptr;
            *output++ = AMF_OBJECT;
            return AMF_Encode(&prop->p_object, output, outend);
        case AMF_ECMA_ARRAY:
            if (outend - output < 5) return nullptr;
            *output++ = AMF_ECMA_ARRAY;
            output = WriteBE32(output, static_cast<uint32_t>(prop->p_object.o_props.size()));
            return AMF_Encode(&prop->p_object, output, outend);
        case AMF_STRICT_ARRAY:
            return EncodeStrictArray(&prop->p_object, output, outend);
        case AMF_DATE:
            if (outend - output < 11) return nullptr;
            *output++ = AMF_DATE;
            output = EncodeDouble(output, prop->p_number);
            return WriteBE16(output, static_cast<uint16_t>(prop->p_UTCoffset));
        default:
            RTMP_LOGE("%s, invalid type. %d", "AMFProp_Encode", static_cast<int>(prop->p_type));
            return nullptr;
    }
}

// Decoding: every read checks the bytes left first; strings point into the input.
class Decoder {
public:
    Decoder(const char* buffer, int size) : p_(buffer), end_(buffer + (size > 0 ? size : 0)) {}

    int Property(AMFObjectProperty* prop, bool with_name, int depth);
    int Properties(AMFObject* obj, bool with_names, bool until_end_marker, int depth);

private:
    int Left() const { return static_cast<int>(end_ - p_); }
    bool String(AVal* out, uint32_t length_bytes);
    bool Value(AMFObjectProperty* prop, int depth);
    bool ObjectBody(AMFObject* obj, int depth) { return Properties(obj, true, true, depth + 1) >= 0; }
    bool StrictArray(AMFObject* obj, int depth);
    bool AtObjectEnd() const { return Left() >= 3 && ReadBE16(p_) == 0 && p_[2] == AMF_OBJECT_END; }

    const char* p_;
    const char* end_;
};

bool Decoder::String(AVal* out, uint32_t length_bytes) {
    if (Left() < static_cast<int>(length_bytes)) return false;
    const uint32_t len = length_bytes == 2 ? ReadBE16(p_) : ReadBE32(p_);
    p_ += length_bytes;
    if (len > static_cast<uint32_t>(Left())) return false;
    out->av_val = p_;
    out->av_len = static_cast<int>(len);
    p_ += len;
    return true;
}

bool Decoder::StrictArray(AMFObject* obj, int depth) {
    if (Left() < 4) return false;
    const uint32_t count = ReadBE32(p_);
    p_ += 4;
    // Each value takes at least its type byte: a count beyond the bytes left is a lie.
    if (count > static_cast<uint32_t>(Left())) return false;
    for (uint32_t i = 0; i < count; ++i) {
        AMFObjectProperty item;
        if (Property(&item, false, depth + 1) < 0) return false;
        obj->o_props.push_back(item);
    }
    return true;
}

bool Decoder::Value(AMFObjectProperty* prop, int depth) {
    if (Left() < 1 || depth > kMaxNestingDepth) return false;
    prop->p_type = static_cast<AMFDataType>(static_cast<uint8_t>(*p_++));
    switch (prop->p_type) {
        case AMF_NUMBER:
            if (Left() < 8) return false;
            prop->p_number = DecodeDouble(p_);
            p_ += 8;
            return true;
        case AMF_BOOLEAN:
            if (Left() < 1) return false;
            prop->p_number = *p_++ != 0;
            return true;
        case AMF_STRING:
            return String(&prop->p_aval, 2);
        case AMF_LONG_STRING:
        case AMF_XML_DOC:
            return String(&prop->p_aval, 4);
        case AMF_OBJECT:
            return ObjectBody(&prop->p_object, depth);
        case AMF_ECMA_ARRAY:
            if (Left() < 4) return false;
            p_ += 4;  // the count is only a hint; the end marker closes the array
            return ObjectBody(&prop->p_object, depth);
        case AMF_STRICT_ARRAY:
            return StrictArray(&prop->p_object, depth);
        case AMF_DATE:
            if (Left() < 10) return false;
            prop->p_number = DecodeDouble(p_);
            prop->p_UTCoffset = static_cast<int16_t>(ReadBE16(p_ + 8));
            p_ += 10;
            return true;
        case AMF_NULL:
        case AMF_UNDEFINED:
        case AMF_UNSUPPORTED:
            return true;
        case AMF_MOVIECLIP:
            RTMP_LOGE("AMF_MOVIECLIP reserved!");
            return false;
        case AMF_REFERENCE:
            RTMP_LOGE("AMF_REFERENCE not supported!");
            return false;
        case AMF_RECORDSET:
            RTMP_LOGE("AMF_RECORDSET reserved!");
            return false;
        case AMF_TYPED_OBJECT:
            RTMP_LOGE("AMF_TYPED_OBJECT not supported!");
            return false;
        default:  // AMF3 values and unknown markers
            RTMP_LOGE("%s, unknown datatype 0x%02x", "AMF_Decode", static_cast<unsigned>(prop->p_type));
            return false;
    }
}

int Decoder::Property(AMFObjectProperty* prop, bool with_name, int depth) {
    const char* start = p_;
    *prop = AMFObjectProperty{};
    if (with_name && !String(&prop->p_name, 2)) return -1;
    if (!Value(prop, depth)) {
        *prop = AMFObjectProperty{};
        return -1;
    }
    return static_cast<int>(p_ - start);
}

int Decoder::Properties(AMFObject* obj, bool with_names, bool until_end_marker, int depth) {
    const char* start = p_;
    while (Left() > 0) {
        if (with_names && AtObjectEnd()) {
            p_ += 3;
            return static_cast<int>(p_ - start);
        }
        AMFObjectProperty prop;
        if (Property(&prop, with_names, depth) < 0) return -1;
        obj->o_props.push_back(prop);
    }
    return until_end_marker ? -1 : static_cast<int>(p_ - start);
}

}  // namespace

char* AMF_EncodeString(char* output, char* outend, const AVal* str) {
    if (str->av_len < 0 || output >= outend) return nullptr;
    if (static_cast<uint32_t>(str->av_len) <= kShortStringMax) {
        *output = AMF_STRING;
        return EncodeRawString(output + 1, outend, str);
    }
    if (outend - output < 5 + str->av_len) return nullptr;
    *output++ = AMF_LONG_STRING;
    output = WriteBE32(output, static_cast<uint32_t>(str->av_len));
    memcpy(output, str->av_val, static_cast<size_t>(str->av_len));
    return output + str->av_len;
}

char* AMF_EncodeNumber(char* output, char* outend, double value) {
    if (outend - output < 9) return nullptr;
    *output++ = AMF_NUMBER;
    return EncodeDouble(output, value);
}

char* AMF_EncodeBoolean(char* output, char* outend, int value) {
    if (outend - output < 2) return nullptr;
    *output++ = AMF_BOOLEAN;
    *output++ = value ? 1 : 0;
    return output;
}

char* AMF_EncodeNull(char* output, char* outend) {
    if (output >= outend) return nullptr;
    *output++ = AMF_NULL;
    return output;
}

char* AMF_EncodeNamedString(char* output, char* outend, const AVal* name, const AVal* value) {
    output = EncodeRawString(output, outend, name);
    return output == nullptr ? nullptr : AMF_EncodeString(output, outend, value);
}

char* AMF_EncodeNamedNumber(char* output, char* outend, const AVal* name, double value) {
    output = EncodeRawString(output, outend, name);
    return output == nullptr ? nullptr : AMF_EncodeNumber(output, outend, value);
}

char* AMF_EncodeNamedBoolean(char* output, char* outend, const AVal* name, int value) {
    output = EncodeRawString(output, outend, name);
    return output == nullptr ? nullptr : AMF_EncodeBoolean(output, outend, value);
}

char* AMF_Encode(const AMFObject* obj, char* output, char* outend) {
    output = EncodeProperties(obj, output, outend);
    return output == nullptr ? nullptr : EncodeObjectEnd(output, outend);
}

char* AMFProp_Encode(const AMFObjectProperty* prop, char* output, char* outend) {
    if (prop->p_type == AMF_INVALID) return nullptr;
    if (prop->p_name.av_len > 0) {
        output = EncodeRawString(output, outend, &prop->p_name);
        if (output == nullptr) return nullptr;
    }
    return EncodeValue(prop, output, outend);
}

int AMF_Decode(AMFObject* obj, const char* buffer, int size, int bDecodeName) {
    AMF_Reset(obj);
    Decoder decoder(buffer, size);
    const int used = decoder.Properties(obj, bDecodeName != 0, false, 0);
    if (used < 0) AMF_Reset(obj);
    return used;
}

int AMFProp_Decode(AMFObjectProperty* prop, const char* buffer, int size, int bDecodeName) {
    Decoder decoder(buffer, size);
    return decoder.Property(prop, bDecodeName != 0, 0);
}

void AMF_Reset(AMFObject* obj) { obj->o_props.clear(); }

int AMF_CountProp(const AMFObject* obj) { return static_cast<int>(obj->o_props.size()); }

void AMF_AddProp(AMFObject* obj, const AMFObjectProperty* prop) { obj->o_props.push_back(*prop); }

const AMFObjectProperty* AMF_GetProp(const AMFObject* obj, const AVal* name, int index) {
    if (index >= 0) {
        return index < AMF_CountProp(obj) ? &obj->o_props[static_cast<size_t>(index)] : &kInvalidProp;
    }
    if (name == nullptr) return &kInvalidProp;
    for (const AMFObjectProperty& prop : obj->o_props) {
        if (AVMATCH(&prop.p_name, name)) return &prop;
    }
    return &kInvalidProp;
}

void AMFProp_GetName(const AMFObjectProperty* prop, AVal* name) { *name = prop->p_name; }

AMFDataType AMFProp_GetType(const AMFObjectProperty* prop) { return prop->p_type; }

double AMFProp_GetNumber(const AMFObjectProperty* prop) { return prop->p_number; }

int AMFProp_GetBoolean(const AMFObjectProperty* prop) { return prop->p_number != 0; }

void AMFProp_GetString(const AMFObjectProperty* prop, AVal* str) {
    const bool is_text =
        prop->p_type == AMF_STRING || prop->p_type == AMF_LONG_STRING || prop->p_type == AMF_XML_DOC;
    *str = is_text ? prop->p_aval : AVal{};
}

void AMFProp_GetObject(const AMFObjectProperty* prop, AMFObject* obj) {
    const bool is_object = prop->p_type == AMF_OBJECT || prop->p_type == AMF_ECMA_ARRAY ||
                           prop->p_type == AMF_STRICT_ARRAY;
    *obj = is_object ? prop->p_object : AMFObject{};
}

int AMFProp_IsValid(const AMFObjectProperty* prop) { return prop->p_type != AMF_INVALID; }
