// An index and a stream file in one input, split at the first NUL byte: every record the index names is
// read from the stream as the camera reads it. Bad offsets, lengths and markers must be refused cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "index_reader.h"
#include "stream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    if (split == nullptr) return 0;
    const std::string index_text(reinterpret_cast<const char*>(data), static_cast<size_t>(split - data));
    std::vector<uint8_t> stream(split + 1, data + size);
    if (stream.empty()) return 0;  // fmemopen refuses an empty buffer
    IndexParseResult index = ParseIndex(index_text);
    std::FILE* file = fmemopen(stream.data(), stream.size(), "rb");
    if (file == nullptr) return 0;
    static std::vector<unsigned char> buffer(kBufferMaxLen);
    for (const auto& info : index.index) {
        if (ReadFrameRecord(file, info, buffer.data()) == FrameReadStatus::kOk &&
            (info.len > kBufferMaxLen || info.len <= kMediaFrameHeaderLen)) {
            __builtin_trap();
        }
    }
    std::fclose(file);
    return 0;
}
