#include "pacing.h"

namespace {

int64_t ScaledElapsed(const PacingAnchor& anchor, uint64_t now_ms, uint32_t speed) {
    return (static_cast<int64_t>(now_ms) - static_cast<int64_t>(anchor.clock_ms)) * static_cast<int64_t>(speed);
}

}  // namespace

bool IsFrameDue(const PacingAnchor& anchor, uint64_t now_ms, uint32_t timestamp, uint32_t speed) {
    // Signed, so that a time stamp below the anchor (a file whose stamps go back) is due, not stuck.
    return ScaledElapsed(anchor, now_ms, speed) >=
           static_cast<int64_t>(timestamp) - static_cast<int64_t>(anchor.media_ms);
}

bool IsLagTooLarge(const PacingAnchor& anchor, uint64_t now_ms, uint32_t timestamp, uint32_t speed,
                   uint64_t limit_ms) {
    int64_t lag = ScaledElapsed(anchor, now_ms, speed) + static_cast<int64_t>(anchor.media_ms) -
                  static_cast<int64_t>(timestamp);
    return lag > 0 && static_cast<uint64_t>(lag) > limit_ms;
}

uint64_t ShiftLiveBase(uint64_t live_base, uint32_t ts_last, uint32_t ts_new) {
    if (ts_new > ts_last) return live_base - (ts_new - ts_last);
    return live_base + (ts_last - ts_new);
}

size_t FindIFramePosition(const std::vector<IndexInfo>& index, size_t position) {
    for (size_t p = position; p < index.size(); ++p) {
        if (IsVideoKeyFrame(index[p])) return p;
    }
    for (size_t p = position < index.size() ? position : index.size(); p > 0; --p) {
        if (IsVideoKeyFrame(index[p - 1])) return p - 1;
    }
    return position;
}

size_t FindSeekPosition(const std::vector<IndexInfo>& index, uint64_t seek_ms) {
    if (index.empty()) return 0;
    uint64_t seek = seek_ms < index.back().timestamp ? seek_ms : index.back().timestamp;
    size_t last_key = 0;
    bool have_key = false;
    for (size_t p = 0; p + 1 < index.size(); ++p) {
        if (!IsVideoKeyFrame(index[p])) continue;
        if (index[p].timestamp > seek) return p;
        last_key = p;
        have_key = true;
    }
    return have_key ? last_key : 0;
}
