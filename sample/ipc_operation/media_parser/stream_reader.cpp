#include "stream_reader.h"

bool IsFrameRecord(const unsigned char* record, size_t read_len, size_t expected_len) {
    if (read_len != expected_len || read_len <= kMediaFrameHeaderLen) return false;
    for (uint32_t i = 0; i < kMediaFrameHeaderLen; ++i) {
        if (record[i] != static_cast<unsigned char>(kMediaFrameHeader >> (8 * i))) return false;
    }
    return true;
}

FrameReadStatus ReadFrameRecord(std::FILE* stream, const IndexInfo& info, unsigned char* buffer) {
    if (info.len > kBufferMaxLen) return FrameReadStatus::kTooLarge;
    if (std::fseek(stream, static_cast<long>(info.offset), SEEK_SET) != 0) return FrameReadStatus::kBadRecord;
    size_t read_len = std::fread(buffer, 1, info.len, stream);
    return IsFrameRecord(buffer, read_len, info.len) ? FrameReadStatus::kOk : FrameReadStatus::kBadRecord;
}
