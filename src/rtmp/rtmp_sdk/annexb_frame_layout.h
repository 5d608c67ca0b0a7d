// Where the units of one Annex-B frame lie and which of them the packaging needs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client.h"

constexpr int kMaxFrameUnits = 12;

struct FrameUnit {
    size_t offset = 0;  // first byte after the start code
    size_t len = 0;     // up to the next start code, or the end of the frame
};

// First unit of each kind before the first slice; kind fields are indexes into units, -1 when absent.
struct FrameLayout {
    FrameUnit units[kMaxFrameUnits];
    int count = 0;
    int sps = -1;
    int pps = -1;
    int vps = -1;
    int sei = -1;
    int slice = -1;
};

// Scans for 00 00 01 below len - 4; the last unit (at most the twelfth) runs to the end of the frame.
// Unit types follow H.264 7.4.1.2 for AVC and H.265 Table 7-1 for HEVC; anything else is read as AVC.
FrameLayout AnalyzeAnnexBFrame(const uint8_t* data, size_t len, zenq_rtmp_video_format_e format);
