// Arbitrary key frames through the hvcC writer and the client's unit scanner: parameter sets of
// any content must never make either read outside the frame or write outside the cursor.
#include <cstdint>
#include <vector>

#include "rtmp/rtmp_sdk/annexb_frame_layout.h"
#include "rtmp/rtmp_sdk/hevc_config_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    std::vector<uint8_t> frame(data, data + size);  // exactly the frame
    std::vector<uint8_t> out(size + 64);
    ov_io_stream cursor{out.data(), 0, out.size()};
    int result = ov_ff_isom_write_hvcc(&cursor, frame.data(), static_cast<int>(frame.size()), 1);
    if (result == 0 && cursor.index > out.size()) __builtin_trap();
    AnalyzeAnnexBFrame(frame.data(), frame.size(), ZENQ_RTMP_VIDEO_FORMAT_HEVC);
    AnalyzeAnnexBFrame(frame.data(), frame.size(), ZENQ_RTMP_VIDEO_FORMAT_AVC);
    return 0;
}
