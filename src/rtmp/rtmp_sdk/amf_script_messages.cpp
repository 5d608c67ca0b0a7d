#include "rtmp/rtmp_sdk/amf_script_messages.h"

#include "rtmp/rtmp_sdk/engine/amf.h"

namespace {

constexpr size_t kStatusFixedBytes = 96;  // everything of the status body but the code's bytes

// AMF 0 2.5: object marker, then named properties, then an empty name and the end marker.
char* BeginObject(char* out, char* end) {
    if (out == nullptr || out >= end) return nullptr;
    *out++ = AMF_OBJECT;
    return out;
}

char* EndObject(char* out, char* end) {
    if (out == nullptr || end - out < 3) return nullptr;
    *out++ = 0;
    *out++ = 0;
    *out++ = AMF_OBJECT_END;
    return out;
}

size_t LengthOf(const char* body, const char* end) { return end == nullptr ? 0 : static_cast<size_t>(end - body); }

}  // namespace

size_t WriteMetadataBody(char* body, size_t capacity, double duration_s) {
    static const AVal kOnMetaData = AVC("onMetaData");
    static const AVal kDuration = AVC("duration");
    char* end = body + capacity;
    char* out = AMF_EncodeString(body, end, &kOnMetaData);
    out = BeginObject(out, end);
    if (out != nullptr) out = AMF_EncodeNamedNumber(out, end, &kDuration, duration_s);
    return LengthOf(body, EndObject(out, end));
}

size_t CustomStatusBodyCapacity(int code_len) { return kStatusFixedBytes + static_cast<size_t>(code_len); }

size_t WriteCustomStatusBody(char* body, size_t capacity, int transaction_id, const char* code, int code_len) {
    static const AVal kOnStatus = AVC("onStatus");
    static const AVal kLevel = AVC("level");
    static const AVal kStatus = AVC("status");
    static const AVal kCode = AVC("code");
    static const AVal kDescription = AVC("description");
    static const AVal kDesc = AVC("desc");
    if (code_len <= 0 || code_len > UINT16_MAX) return 0;  // an AMF0 short string
    const AVal code_value{code, code_len};
    char* end = body + capacity;
    char* out = AMF_EncodeString(body, end, &kOnStatus);
    if (out != nullptr) out = AMF_EncodeNumber(out, end, transaction_id);
    if (out != nullptr) out = AMF_EncodeNull(out, end);
    out = BeginObject(out, end);
    if (out != nullptr) out = AMF_EncodeNamedString(out, end, &kLevel, &kStatus);
    if (out != nullptr) out = AMF_EncodeNamedString(out, end, &kCode, &code_value);
    if (out != nullptr) out = AMF_EncodeNamedString(out, end, &kDescription, &kDesc);
    return LengthOf(body, EndObject(out, end));
}
