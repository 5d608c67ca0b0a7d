// AMF0 bodies of the two messages the client originates besides media: the metadata data message
// and the custom status command.
#pragma once

#include <cstddef>

// "onMetaData" followed by an object holding only "duration". Returns the body length, 0 when short.
size_t WriteMetadataBody(char* body, size_t capacity, double duration_s);

// "onStatus", transaction id, null, {"level": "status", "code": code, "description": "desc"}.
size_t WriteCustomStatusBody(char* body, size_t capacity, int transaction_id, const char* code, int code_len);

// Room WriteCustomStatusBody needs for a code of code_len bytes.
size_t CustomStatusBodyCapacity(int code_len);
