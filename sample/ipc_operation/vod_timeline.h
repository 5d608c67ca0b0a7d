// The recordings as one time line in list order, each lasting its duration in whole seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvia_ipc.h"

struct Recording {
    std::string prefix;
    uint32_t duration_s = 0;
};

struct TimelinePosition {
    size_t recording = 0;
    uint64_t base_ms = 0;  // start of that recording on the time line
};

// The first recording whose end is at or after seek_ms; nothing when seek_ms lies beyond the last end.
std::optional<TimelinePosition> LocateOnTimeline(const std::vector<Recording>& recordings, uint64_t seek_ms);

// One record per recording, back to back from start_time (seconds).
std::vector<ov_query_storage_record_response_s> BuildRecordList(const std::vector<Recording>& recordings,
                                                                uint32_t start_time);
