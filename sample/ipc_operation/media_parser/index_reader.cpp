#include "index_reader.h"

#include <limits>

namespace {

struct IndexField {
    const char* name;
    uint32_t IndexInfo::*member;
};

// In the order they appear on a line.
constexpr IndexField kIndexFields[] = {
    {"media=", &IndexInfo::media_type}, {"offset=", &IndexInfo::offset},      {"len=", &IndexInfo::len},
    {"timestamp=", &IndexInfo::timestamp}, {"key=", &IndexInfo::key_frame},
};

// Reads "name=digits" at pos; pos moves past the digits.
bool ParseField(const std::string& line, size_t& pos, const IndexField& field, IndexInfo& info) {
    const std::string name = field.name;
    if (line.compare(pos, name.size(), name) != 0) return false;
    pos += name.size();
    uint64_t value = 0;
    size_t digits = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        value = value * 10 + static_cast<uint64_t>(line[pos] - '0');
        if (value > std::numeric_limits<uint32_t>::max()) return false;
        ++pos;
        ++digits;
    }
    info.*field.member = static_cast<uint32_t>(value);
    return digits > 0;
}

bool ParseLine(const std::string& line, IndexInfo& info) {
    if (line.size() >= kIndexLineMaxLne) return false;
    size_t pos = 0;
    bool first = true;
    for (const auto& field : kIndexFields) {
        if (!first && (pos >= line.size() || line[pos++] != ',')) return false;
        first = false;
        if (!ParseField(line, pos, field, info)) return false;
    }
    return pos == line.size();
}

}  // namespace

IndexParseResult ParseIndex(const std::string& text) {
    IndexParseResult result;
    if (text.empty()) {
        result.status = IndexParseStatus::kNoRecords;
        return result;
    }
    size_t start = 0;
    size_t line_number = 1;
    while (true) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        IndexInfo info;
        if (!ParseLine(line, info)) {
            result.status = IndexParseStatus::kBadLine;
            result.bad_line = line_number;
            result.index.clear();
            return result;
        }
        result.index.push_back(info);
        if (end == std::string::npos) break;
        start = end + 1;
        ++line_number;
    }
    return result;
}

uint32_t KeyFrameIntervalMs(const std::vector<IndexInfo>& index) {
    uint32_t largest = 0;
    bool have_previous = false;
    uint32_t previous = 0;
    for (const auto& info : index) {
        if (!IsVideoKeyFrame(info)) continue;
        if (have_previous && info.timestamp > previous && info.timestamp - previous > largest) {
            largest = info.timestamp - previous;
        }
        previous = info.timestamp;
        have_previous = true;
    }
    return largest;
}
