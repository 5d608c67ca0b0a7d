#include "rtmp/rtmp_sdk/inbound_status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kInfoObjectIndex = 3;  // name, transaction id, command object (null), info object

int CopyText(const AVal& text, char* out, size_t capacity) {
    size_t copied = std::min(static_cast<size_t>(text.av_len), capacity - 1);
    if (copied > 0) std::memcpy(out, text.av_val, copied);
    out[copied] = '\0';
    return text.av_len;
}

bool DecodePlayParameters(const AVal& description, bool* only_key_frame, double* speed) {
    AMFObject values;
    if (AMF_Decode(&values, description.av_val, description.av_len, 0) < 0) return false;
    const AMFObjectProperty* first = AMF_GetProp(&values, nullptr, 0);
    bool decoded = AMFProp_GetType(first) == AMF_OBJECT;
    if (decoded) {
        static const AVal kOnlyKeyFrame = AVC("onlyKeyFrame");
        static const AVal kSpeed = AVC("speed");
        AMFObject params;
        AMFProp_GetObject(first, &params);
        *only_key_frame = AMFProp_GetBoolean(AMF_GetProp(&params, &kOnlyKeyFrame, -1)) != 0;
        *speed = AMFProp_GetNumber(AMF_GetProp(&params, &kSpeed, -1));
    }
    AMF_Reset(&values);
    return decoded;
}

}  // namespace

bool ParseOnStatusCommand(const char* body, size_t len, AMFObject* values, StatusCommand* out) {
    static const AVal kOnStatus = AVC("onStatus");
    static const AVal kCode = AVC("code");
    static const AVal kDescription = AVC("description");
    if (body == nullptr || len == 0 || len > INT32_MAX || body[0] != AMF_STRING) return false;
    if (AMF_Decode(values, body, static_cast<int>(len), 0) < 0) return false;
    AVal name;
    AMFProp_GetString(AMF_GetProp(values, nullptr, 0), &name);
    if (!AVMATCH(&name, &kOnStatus)) return false;
    AMFObject info;
    AMFProp_GetObject(AMF_GetProp(values, nullptr, kInfoObjectIndex), &info);
    AMFProp_GetString(AMF_GetProp(&info, &kCode, -1), &out->code);
    AMFProp_GetString(AMF_GetProp(&info, &kDescription, -1), &out->description);
    return true;
}

int FormatStatusDescription(const AVal& description, char* out, size_t capacity) {
    bool only_key_frame = false;
    double speed = 0;
    if (description.av_len > 0 && description.av_val[0] == AMF_OBJECT &&
        DecodePlayParameters(description, &only_key_frame, &speed)) {
        int full = std::snprintf(out, capacity, "{\"onlyKeyFrame\":%d, \"speed\":%lf}", only_key_frame ? 1 : 0,
                                 speed);
        return full;
    }
    return CopyText(description, out, capacity);
}
