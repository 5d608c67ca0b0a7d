// Real-time pacing of a reader: which frames are due, how positions move on an I-frame request or a seek,
// and how live time stamps stay continuous when the position jumps.
#pragma once

#include <cstdint>
#include <vector>

#include "media_file_format.h"

// Clock time and media time that correspond to each other.
struct PacingAnchor {
    uint64_t clock_ms = 0;
    uint64_t media_ms = 0;
};

// The frame at media time timestamp is due once the scaled clock time since the anchor has reached it.
// Frames stamped before the anchor are due at once.
bool IsFrameDue(const PacingAnchor& anchor, uint64_t now_ms, uint32_t timestamp, uint32_t speed);

// True when the frame is late by more than limit_ms (scaled clock time): the clock has jumped.
bool IsLagTooLarge(const PacingAnchor& anchor, uint64_t now_ms, uint32_t timestamp, uint32_t speed,
                   uint64_t limit_ms);

// The live base that makes the frame stamped ts_new carry the time stamp the frame stamped ts_last carried
// (modulo 2^64; delivered stamps are taken modulo 2^32).
uint64_t ShiftLiveBase(uint64_t live_base, uint32_t ts_last, uint32_t ts_new);

// The next video key frame at or after position, else the nearest one before it, else position itself.
size_t FindIFramePosition(const std::vector<IndexInfo>& index, size_t position);

// Where a seek to seek_ms starts: the first key frame after the (clamped) seek time, else the last key
// frame, else the first frame. The last frame is never chosen unless it is the only one.
size_t FindSeekPosition(const std::vector<IndexInfo>& index, uint64_t seek_ms);
