// The timestamp step shared by audio and video sending.
#pragma once

#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client_context.h"

constexpr uint32_t kMaxRefusedTimestamps = 100;

// True with *sent set when the frame goes out. Otherwise *result is what the send call returns:
// 0 while at most kMaxRefusedTimestamps frames were refused, ZENQ_RTMP_READ_TIMESTAMP_ERROR after.
bool ApplyMediaTimestamp(rtmp_client_s* context, TimestampRebase* rebase, uint32_t* base_field, uint32_t timestamp,
                         uint32_t* sent, int* result);
