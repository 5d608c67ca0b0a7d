// Parser of index files: "media=%d,offset=%d,len=%d,timestamp=%d,key=%d" per line, no line break after
// the last record.
#pragma once

#include <string>
#include <vector>

#include "media_file_format.h"

enum class IndexParseStatus { kOk, kBadLine, kNoRecords };

struct IndexParseResult {
    IndexParseStatus status = IndexParseStatus::kOk;
    std::vector<IndexInfo> index;
    size_t bad_line = 0;  // 1-based line number for kBadLine
};

// Any line that is not exactly the five fields (empty lines included) makes the whole index invalid.
IndexParseResult ParseIndex(const std::string& text);

// Largest distance between consecutive video key frames in ms; 0 with fewer than two of them.
uint32_t KeyFrameIntervalMs(const std::vector<IndexInfo>& index);
