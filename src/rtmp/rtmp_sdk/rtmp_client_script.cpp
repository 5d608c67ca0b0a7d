// IOT_RTMP_SendMetadata and IOT_RTMP_SendMessage: the AMF0 data and command messages.
#include <vector>

#include "rtmp/rtmp_sdk/amf_script_messages.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/rtmp_client_guard.h"
#include "rtmp/rtmp_sdk/rtmp_message_sender.h"

namespace {

constexpr size_t kMetadataBodyBytes = 64;

int SendMetadata(rtmp_client_s* context) {
    char buffer[kBodyOffset + kMetadataBodyBytes];
    char* body = buffer + kBodyOffset;
    size_t len = WriteMetadataBody(body, kMetadataBodyBytes, context->config.duration_s);
    if (len == 0) return ZENQ_RTMP_ILLEGAL_INPUT;
    return SendScriptBody(context, RTMP_PACKET_TYPE_INFO, body, len, false);
}

int SendMessage(rtmp_client_s* context, const char* code, int code_len) {
    size_t capacity = CustomStatusBodyCapacity(code_len);
    std::vector<char> buffer(kBodyOffset + capacity);
    char* body = buffer.data() + kBodyOffset;
    int transaction_id = ++context->rtmp->m_numInvokes;
    size_t len = WriteCustomStatusBody(body, capacity, transaction_id, code, code_len);
    if (len == 0) return ZENQ_RTMP_ILLEGAL_INPUT;
    // Queued like any invoke, so a _result from the server finds its pending entry.
    return SendScriptBody(context, RTMP_PACKET_TYPE_INVOKE, body, len, true);
}

}  // namespace

extern "C" {

int IOT_RTMP_SendMetadata(rtmp_client_s* context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_SendMetadata", [&] { return SendMetadata(context); });
}

int IOT_RTMP_SendMessage(rtmp_client_s* context, const char* code, int code_len) {
    if (context == nullptr || code == nullptr || code_len <= 0) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_SendMessage", [&] { return SendMessage(context, code, code_len); });
}

}  // extern "C"
