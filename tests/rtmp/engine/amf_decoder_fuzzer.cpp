// Arbitrary bytes as AMF0 values and as object properties; whatever decodes must encode again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtmp/rtmp_sdk/engine/amf.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace {

void Silent(int, const char*, int, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RTMP_SetLogCallback(Silent);
    const char* bytes = reinterpret_cast<const char*>(data);
    for (int names = 0; names < 2; ++names) {
        AMFObject object;
        const int used = AMF_Decode(&object, bytes, static_cast<int>(size), names);
        if (used < 0) continue;
        // Re-encoding never needs more room than the input plus the end markers it may add.
        std::vector<char> out(size + 3 * static_cast<size_t>(AMF_CountProp(&object)) + 16);
        char* p = out.data();
        for (int i = 0; i < AMF_CountProp(&object) && p != nullptr; ++i) {
            p = AMFProp_Encode(AMF_GetProp(&object, nullptr, i), p, out.data() + out.size());
        }
        AMF_Reset(&object);
    }
    return 0;
}
