#include "rtmp/rtmp_sdk/media_timestamp.h"

bool ApplyMediaTimestamp(rtmp_client_s* context, TimestampRebase* rebase, uint32_t* base_field, uint32_t timestamp,
                         uint32_t* sent, int* result) {
    RebasedTimestamp rebased = rebase->Apply(context->config.timestamp_type != 0, timestamp);
    *base_field = rebase->base();
    if (rebased.send) {
        *sent = rebased.timestamp;
        return true;
    }
    ++context->config.timestamp_error_count;
    *result = context->config.timestamp_error_count > kMaxRefusedTimestamps ? ZENQ_RTMP_READ_TIMESTAMP_ERROR
                                                                            : ZENQ_RTMP_SUCCESS;
    return false;
}
