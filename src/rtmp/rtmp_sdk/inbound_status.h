// Reads the server's onStatus commands (RTMP 7.2.2 command messages, AMF0 bodies).
#pragma once

#include <cstddef>

#include "rtmp/rtmp_sdk/engine/amf.h"

struct StatusCommand {
    AVal code;         // into the message body
    AVal description;  // into the message body
};

// True when body is an AMF0 command whose name is "onStatus"; the info object is its fourth value.
// values keeps the decoded values the texts point into (besides the body).
bool ParseOnStatusCommand(const char* body, size_t len, AMFObject* values, StatusCommand* out);

// A description that starts with the AMF0 object marker carries play parameters: they become the
// JSON text {"onlyKeyFrame":N, "speed":X}. Any other description, or one that does not decode, is
// copied. At most capacity - 1 bytes are written, then a terminator; returns the full text length.
int FormatStatusDescription(const AVal& description, char* out, size_t capacity);
