#include "vod_timeline.h"

#include <cstring>

namespace {

constexpr uint64_t kMillisecondsPerSecond = 1000;
constexpr size_t kRecordNameMaxLen = 63;

}  // namespace

std::optional<TimelinePosition> LocateOnTimeline(const std::vector<Recording>& recordings, uint64_t seek_ms) {
    uint64_t end_ms = 0;
    for (size_t i = 0; i < recordings.size(); ++i) {
        const uint64_t length_ms = recordings[i].duration_s * kMillisecondsPerSecond;
        end_ms += length_ms;
        if (end_ms >= seek_ms) return TimelinePosition{i, end_ms - length_ms};
    }
    return std::nullopt;
}

std::vector<ov_query_storage_record_response_s> BuildRecordList(const std::vector<Recording>& recordings,
                                                                uint32_t start_time) {
    std::vector<ov_query_storage_record_response_s> records;
    uint32_t begin = start_time;
    for (const auto& recording : recordings) {
        ov_query_storage_record_response_s record{};
        std::strncpy(record.file_name, recording.prefix.c_str(), kRecordNameMaxLen);
        record.file_size = 0;
        record.record_type = OV_STORAGE_RECORD_INITIATIVE;
        record.start_time = static_cast<int>(begin);
        begin += recording.duration_s;
        record.stop_time = static_cast<int>(begin);
        records.push_back(record);
    }
    return records;
}
