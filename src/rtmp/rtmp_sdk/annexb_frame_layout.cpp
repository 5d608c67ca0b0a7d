#include "rtmp/rtmp_sdk/annexb_frame_layout.h"

namespace {

enum class UnitKind { kOther, kSlice, kSei, kSps, kPps, kVps };

UnitKind AvcKind(uint8_t first_byte) {
    switch (first_byte & 0x1F) {
        case 1:
        case 5: return UnitKind::kSlice;
        case 6: return UnitKind::kSei;
        case 7: return UnitKind::kSps;
        case 8: return UnitKind::kPps;
        default: return UnitKind::kOther;
    }
}

UnitKind HevcKind(uint8_t first_byte) {
    int type = (first_byte >> 1) & 0x3F;
    if (type <= 9 || (type >= 16 && type <= 21)) return UnitKind::kSlice;
    switch (type) {
        case 32: return UnitKind::kVps;
        case 33: return UnitKind::kSps;
        case 34: return UnitKind::kPps;
        case 39:
        case 40: return UnitKind::kSei;
        default: return UnitKind::kOther;
    }
}

void FindUnits(const uint8_t* data, size_t len, FrameLayout* layout) {
    for (size_t i = 0; i + 4 < len && layout->count < kMaxFrameUnits; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        if (layout->count > 0) {
            FrameUnit& previous = layout->units[layout->count - 1];
            previous.len = i - previous.offset;
        }
        layout->units[layout->count++].offset = i + 3;
        i += 2;
    }
    if (layout->count > 0) {
        FrameUnit& last = layout->units[layout->count - 1];
        last.len = len - last.offset;
    }
}

void Remember(int* slot, int index) {
    if (*slot < 0) *slot = index;
}

}  // namespace

FrameLayout AnalyzeAnnexBFrame(const uint8_t* data, size_t len, zenq_rtmp_video_format_e format) {
    FrameLayout layout;
    FindUnits(data, len, &layout);
    for (int i = 0; i < layout.count && layout.slice < 0; ++i) {
        uint8_t first_byte = data[layout.units[i].offset];
        UnitKind kind = format == ZENQ_RTMP_VIDEO_FORMAT_HEVC ? HevcKind(first_byte) : AvcKind(first_byte);
        switch (kind) {
            case UnitKind::kSlice: layout.slice = i; break;
            case UnitKind::kSei: Remember(&layout.sei, i); break;
            case UnitKind::kSps: Remember(&layout.sps, i); break;
            case UnitKind::kPps: Remember(&layout.pps, i); break;
            case UnitKind::kVps: Remember(&layout.vps, i); break;
            case UnitKind::kOther: break;
        }
    }
    return layout;
}
