// Any bytes as an index file: parsed or refused, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "index_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IndexParseResult result = ParseIndex(std::string(reinterpret_cast<const char*>(data), size));
    if (result.status != IndexParseStatus::kOk && !result.index.empty()) __builtin_trap();
    KeyFrameIntervalMs(result.index);
    return 0;
}
