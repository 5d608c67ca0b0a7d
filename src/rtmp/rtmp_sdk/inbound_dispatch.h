// What the client does with one complete message from the server.
#pragma once

#include "rtmp/rtmp_sdk/rtmp_client_context.h"

struct ReadTarget {
    const zenq_rtmp_read_handler* handler;
    void* param;
    bool verbose;  // print a line per decoded message
};

// onStatus commands (types 4 and 20), video (9) and audio (8, decrypted when the stream is) go to
// the handler: ZENQ_RTMP_SUCCESS. Other commands, and audio that does not decrypt:
// ZENQ_RTMP_READ_MESSAGE_FAILED. Other types are ignored: ZENQ_RTMP_SUCCESS.
int DispatchInboundMessage(rtmp_client_s* context, const RTMPPacket& packet, const ReadTarget& target);

// An onStatus command (type 20) into the caller's buffers of ZENQ_RTMP_STATUS_TEXT_MAX + 1 bytes;
// the lengths are those of the full texts. ZENQ_RTMP_SUCCESS or ZENQ_RTMP_READ_MESSAGE_FAILED.
int DecodeStatusReply(const RTMPPacket& packet, char* code, int* code_len, char* description, int* description_len);
