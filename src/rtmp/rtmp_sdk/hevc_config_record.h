// HEVC decoder configuration record ("hvcC", ISO/IEC 14496-15 8.3.3.1) built from one Annex-B key frame.
#pragma once

#include <cstddef>
#include <cstdint>

// H.265 Table 7-1.
enum HEVCNALUnitType {
    HEVC_NAL_TRAIL_N = 0,
    HEVC_NAL_TRAIL_R = 1,
    HEVC_NAL_RASL_R = 9,
    HEVC_NAL_BLA_W_LP = 16,
    HEVC_NAL_IDR_W_RADL = 19,
    HEVC_NAL_IDR_N_LP = 20,
    HEVC_NAL_CRA_NUT = 21,
    HEVC_NAL_VPS = 32,
    HEVC_NAL_SPS = 33,
    HEVC_NAL_PPS = 34,
    HEVC_NAL_AUD = 35,
    HEVC_NAL_SEI_PREFIX = 39,
    HEVC_NAL_SEI_SUFFIX = 40,
};

constexpr int kHvccMaxNalusPerArray = 10;

struct HVCCNALUnitArray {
    uint8_t array_completeness = 0;
    uint8_t NAL_unit_type = 0;
    uint16_t numNalus = 0;
    uint16_t nalUnitLength[kHvccMaxNalusPerArray] = {};
    const uint8_t* nalUnit[kHvccMaxNalusPerArray] = {};  // into the caller's frame, not owned
};

struct HVCCProfileTierLevel {
    uint8_t profile_space = 0;
    uint8_t tier_flag = 0;
    uint8_t profile_idc = 0;
    uint32_t profile_compatibility_flags = 0;
    uint64_t constraint_indicator_flags = 0;
    uint8_t level_idc = 0;
};

struct HEVCDecoderConfigurationRecord {
    uint8_t configurationVersion = 1;
    uint8_t general_profile_space = 0;
    uint8_t general_tier_flag = 0;
    uint8_t general_profile_idc = 0;
    uint32_t general_profile_compatibility_flags = 0xFFFFFFFFu;
    uint64_t general_constraint_indicator_flags = 0xFFFFFFFFFFFFull;
    uint8_t general_level_idc = 0;
    uint16_t min_spatial_segmentation_idc = 4097;  // above the 12-bit range: "not seen yet"
    uint8_t parallelismType = 0;
    uint8_t chromaFormat = 0;
    uint8_t bitDepthLumaMinus8 = 0;
    uint8_t bitDepthChromaMinus8 = 0;
    uint16_t avgFrameRate = 0;
    uint8_t constantFrameRate = 0;
    uint8_t numTemporalLayers = 0;
    uint8_t temporalIdNested = 0;
    uint8_t lengthSizeMinusOne = 3;
    uint8_t numOfArrays = 3;
    HVCCNALUnitArray array[3];  // VPS, SPS, PPS
};

// Output cursor: the writer appends at index and advances it, never past total_len.
struct ov_io_stream {
    uint8_t* buf;
    size_t index;
    size_t total_len;
};

// Writes the record of the key frame data[0..size) at the cursor. 0 on success; -1 when size <= 5,
// a parameter set is missing or too long, or the cursor lacks room; -2 when data is neither Annex B
// nor already a record (first byte 1, copied through).
int ov_ff_isom_write_hvcc(ov_io_stream* pb, const uint8_t* data, int size, int ps_array_completeness);
