#include "rtmp/rtmp_sdk/timestamp_rebase.h"

namespace {
constexpr uint32_t kFirstTimestampMs = 1000;
constexpr int32_t kMaxRefusedLateMs = 65535;
}  // namespace

RebasedTimestamp TimestampRebase::Apply(bool keep_unchanged, uint32_t timestamp) {
    if (keep_unchanged) return {true, timestamp};
    if (!base_taken_) {
        base_ = timestamp;
        base_taken_ = true;
    }
    uint32_t rebased = timestamp - base_ + kFirstTimestampMs;
    int32_t as_signed = static_cast<int32_t>(rebased);
    if (as_signed < 0 && as_signed >= -kMaxRefusedLateMs) return {false, 0};
    return {true, rebased};
}
