// IOT_RTMP_ReadOnStatus, IOT_RTMP_ReadData and IOT_RTMP_Read: one chunk per call, complete messages
// decoded and handed to the caller.
#include "rtmp/rtmp_sdk/inbound_dispatch.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/rtmp_client_guard.h"

namespace {

// Frees the body of a message the engine completed.
class CompleteMessage {
public:
    CompleteMessage() = default;
    ~CompleteMessage() { RTMPPacket_Free(&packet_); }
    CompleteMessage(const CompleteMessage&) = delete;
    CompleteMessage& operator=(const CompleteMessage&) = delete;

    // ZENQ_RTMP_SUCCESS once a whole message with a body is here.
    int Read(RTMP* r) {
        if (!RTMP_IsConnected(r)) return ZENQ_RTMP_IS_DISCONNECTED;
        if (!RTMP_ReadPacket(r, &packet_)) return ZENQ_RTMP_READ_MESSAGE_FAILED;
        if (!RTMPPacket_IsReady(&packet_) || packet_.m_nBodySize == 0 || packet_.m_body == nullptr) {
            return ZENQ_RTMP_READ_MESSAGE_FAILED;
        }
        return ZENQ_RTMP_SUCCESS;
    }
    const RTMPPacket& packet() const { return packet_; }

private:
    RTMPPacket packet_;
};

int ReadAndDispatch(rtmp_client_s* context, const ReadTarget& target) {
    CompleteMessage message;
    int result = message.Read(context->rtmp.get());
    if (result != ZENQ_RTMP_SUCCESS) return result;
    return DispatchInboundMessage(context, message.packet(), target);
}

int ReadOnStatus(rtmp_client_s* context, char* code, int* code_len, char* description, int* description_len) {
    CompleteMessage message;
    int result = message.Read(context->rtmp.get());
    if (result != ZENQ_RTMP_SUCCESS) return result;
    return DecodeStatusReply(message.packet(), code, code_len, description, description_len);
}

}  // namespace

extern "C" {

int IOT_RTMP_ReadOnStatus(rtmp_client_s* context, char* code, int* code_len, char* description,
                          int* description_len) {
    if (context == nullptr || code == nullptr || code_len == nullptr || description == nullptr ||
        description_len == nullptr) {
        return ZENQ_RTMP_ILLEGAL_INPUT;
    }
    return GuardedCall("IOT_RTMP_ReadOnStatus",
                       [&] { return ReadOnStatus(context, code, code_len, description, description_len); });
}

int IOT_RTMP_ReadData(rtmp_client_s* context, const zenq_rtmp_read_handler* handler, void* param) {
    if (context == nullptr || handler == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_ReadData", [&] { return ReadAndDispatch(context, {handler, param, true}); });
}

int IOT_RTMP_Read(rtmp_client_s* context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_Read",
                       [&] { return ReadAndDispatch(context, {&context->handler, context->handler.arg, false}); });
}

}  // extern "C"
