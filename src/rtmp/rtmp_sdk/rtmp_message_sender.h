// Puts one built body on the wire as an RTMP message, encrypting its tail when configured.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client_context.h"

struct OutgoingBody {
    uint8_t packet_type;  // RTMP 7.1: 8 audio, 9 video
    uint8_t* body;
    size_t len;
    size_t capacity;
    uint32_t timestamp;
    // Bytes from here on are encrypted when the stream is; negative: sent in clear.
    long encrypt_from;
};

// ZENQ_RTMP_SUCCESS, ZENQ_RTMP_IS_DISCONNECTED or ZENQ_RTMP_SEND_FAILED.
int SendMediaBody(rtmp_client_s* context, const OutgoingBody& out);

// A message on chunk stream 3 with a type-1 header at timestamp 0 (metadata and commands).
int SendScriptBody(rtmp_client_s* context, uint8_t packet_type, char* body, size_t len, bool queue);
