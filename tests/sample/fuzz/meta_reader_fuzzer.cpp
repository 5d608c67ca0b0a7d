// Any bytes as a parameter file: parsed or refused, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "meta_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MetaParseResult meta = ParseMeta(std::string(reinterpret_cast<const char*>(data), size), "fuzz.meta");
    if (!meta.valid && meta.messages.empty()) __builtin_trap();  // a refusal always says why
    return 0;
}
