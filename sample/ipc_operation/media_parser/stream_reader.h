// Reads frame records from a stream file: the 4-byte marker 0xFC 0xFC 0xFC 0xFC, then the frame.
#pragma once

#include <cstdio>

#include "media_file_format.h"

enum class FrameReadStatus { kOk, kTooLarge, kBadRecord };

// True when the bytes read are the whole record: marker and at least one byte of frame.
bool IsFrameRecord(const unsigned char* record, size_t read_len, size_t expected_len);

// Reads the record info names into buffer (kBufferMaxLen bytes) from the record's own offset, so a record
// that was cut short cannot shift every later frame. On kOk the frame is buffer + kMediaFrameHeaderLen,
// info.len - kMediaFrameHeaderLen bytes long.
FrameReadStatus ReadFrameRecord(std::FILE* stream, const IndexInfo& info, unsigned char* buffer);
