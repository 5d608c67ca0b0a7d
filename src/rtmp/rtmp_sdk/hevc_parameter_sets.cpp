#include "rtmp/rtmp_sdk/hevc_parameter_sets.h"

#include <algorithm>

#include "rtmp/rtmp_sdk/bit_stream.h"

namespace {

constexpr size_t kNalHeaderBytes = 2;
constexpr uint32_t kMaxShortTermRefPicSets = 64;  // H.265 7.4.3.2.1
constexpr uint32_t kMaxLongTermRefPics = 32;
constexpr uint32_t kMaxDeltaPocs = 32;  // bound for corrupt streams: 16 pictures each way
constexpr uint32_t kMaxCpbCount = 32;

void MergeProfileTierLevel(const HVCCProfileTierLevel& ptl, HEVCDecoderConfigurationRecord* record) {
    record->general_profile_space = ptl.profile_space;
    // ISO/IEC 14496-15 8.3.3.1.2: the record declares the highest tier and, within it, the highest level.
    if (record->general_tier_flag < ptl.tier_flag) {
        record->general_level_idc = ptl.level_idc;
    } else {
        record->general_level_idc = std::max(record->general_level_idc, ptl.level_idc);
    }
    record->general_tier_flag = std::max(record->general_tier_flag, ptl.tier_flag);
    record->general_profile_idc = std::max(record->general_profile_idc, ptl.profile_idc);
    record->general_profile_compatibility_flags &= ptl.profile_compatibility_flags;
    record->general_constraint_indicator_flags &= ptl.constraint_indicator_flags;
}

// H.265 7.3.3 profile_tier_level(1, max_sub_layers_minus1).
void ParseProfileTierLevel(BitStream& bs, unsigned max_sub_layers_minus1, HEVCDecoderConfigurationRecord* record) {
    HVCCProfileTierLevel ptl;
    ptl.profile_space = static_cast<uint8_t>(bs.ReadBits(2));
    ptl.tier_flag = static_cast<uint8_t>(bs.ReadBits(1));
    ptl.profile_idc = static_cast<uint8_t>(bs.ReadBits(5));
    ptl.profile_compatibility_flags = bs.ReadBits(32);
    ptl.constraint_indicator_flags = bs.ReadBits64(48);
    ptl.level_idc = static_cast<uint8_t>(bs.ReadBits(8));
    MergeProfileTierLevel(ptl, record);

    bool profile_present[8] = {};
    bool level_present[8] = {};
    for (unsigned i = 0; i < max_sub_layers_minus1; ++i) {
        profile_present[i] = bs.ReadFlag();
        level_present[i] = bs.ReadFlag();
    }
    if (max_sub_layers_minus1 > 0) bs.SkipBits(2 * (8 - max_sub_layers_minus1));  // reserved_zero_2bits
    for (unsigned i = 0; i < max_sub_layers_minus1; ++i) {
        if (profile_present[i]) bs.SkipBits(88);
        if (level_present[i]) bs.SkipBits(8);
    }
}

void RaiseTemporalLayers(unsigned max_sub_layers_minus1, HEVCDecoderConfigurationRecord* record) {
    record->numTemporalLayers = std::max<uint8_t>(record->numTemporalLayers, max_sub_layers_minus1 + 1);
}

// H.265 7.3.4 scaling_list_data().
void SkipScalingListData(BitStream& bs) {
    for (int size_id = 0; size_id < 4; ++size_id) {
        for (int matrix_id = 0; matrix_id < 6; matrix_id += (size_id == 3) ? 3 : 1) {
            if (!bs.ReadFlag()) {
                bs.ReadUe();  // scaling_list_pred_matrix_id_delta
                continue;
            }
            int coef_num = std::min(64, 1 << (4 + (size_id << 1)));
            if (size_id > 1) bs.ReadSe();  // scaling_list_dc_coef_minus8
            for (int i = 0; i < coef_num; ++i) bs.ReadSe();
        }
    }
}

// H.265 7.3.7 st_ref_pic_set(idx) as it appears in an SPS; false on counts no stream can have.
bool SkipShortTermRefPicSet(BitStream& bs, unsigned idx, uint32_t* num_delta_pocs) {
    if (idx != 0 && bs.ReadFlag()) {  // inter_ref_pic_set_prediction_flag
        bs.ReadBits(1);               // delta_rps_sign
        bs.ReadUe();                  // abs_delta_rps_minus1
        uint32_t count = 0;
        for (uint32_t j = 0; j <= num_delta_pocs[idx - 1]; ++j) {
            bool used_by_curr_pic = bs.ReadFlag();
            bool use_delta = used_by_curr_pic || bs.ReadFlag();
            if (use_delta) ++count;
        }
        num_delta_pocs[idx] = count;
        return true;
    }
    uint32_t negative = bs.ReadUe();
    uint32_t positive = bs.ReadUe();
    if (negative > kMaxDeltaPocs || positive > kMaxDeltaPocs) return false;
    for (uint32_t i = 0; i < negative + positive; ++i) {
        bs.ReadUe();  // delta_poc_sX_minus1
        bs.ReadBits(1);
    }
    num_delta_pocs[idx] = negative + positive;
    return true;
}

// H.265 E.2.3 sub_layer_hrd_parameters().
void SkipSubLayerHrd(BitStream& bs, uint32_t cpb_cnt_minus1, bool sub_pic_params) {
    for (uint32_t i = 0; i <= cpb_cnt_minus1; ++i) {
        bs.ReadUe();
        bs.ReadUe();
        if (sub_pic_params) {
            bs.ReadUe();
            bs.ReadUe();
        }
        bs.ReadBits(1);  // cbr_flag
    }
}

// H.265 E.2.2 hrd_parameters(1, max_sub_layers_minus1); false on an impossible cpb count.
bool SkipHrdParameters(BitStream& bs, unsigned max_sub_layers_minus1) {
    bool nal_hrd = bs.ReadFlag();
    bool vcl_hrd = bs.ReadFlag();
    bool sub_pic_params = false;
    if (nal_hrd || vcl_hrd) {
        sub_pic_params = bs.ReadFlag();
        if (sub_pic_params) bs.SkipBits(8 + 5 + 1 + 5);
        bs.SkipBits(4 + 4);
        if (sub_pic_params) bs.SkipBits(4);
        bs.SkipBits(5 + 5 + 5);
    }
    for (unsigned i = 0; i <= max_sub_layers_minus1; ++i) {
        bool fixed_pic_rate_general = bs.ReadFlag();
        bool fixed_pic_rate_within_cvs = fixed_pic_rate_general || bs.ReadFlag();
        bool low_delay_hrd = false;
        if (fixed_pic_rate_within_cvs) {
            bs.ReadUe();  // elemental_duration_in_tc_minus1
        } else {
            low_delay_hrd = bs.ReadFlag();
        }
        uint32_t cpb_cnt_minus1 = low_delay_hrd ? 0 : bs.ReadUe();
        if (cpb_cnt_minus1 >= kMaxCpbCount) return false;
        if (nal_hrd) SkipSubLayerHrd(bs, cpb_cnt_minus1, sub_pic_params);
        if (vcl_hrd) SkipSubLayerHrd(bs, cpb_cnt_minus1, sub_pic_params);
    }
    return true;
}

void SkipVuiUpToTiming(BitStream& bs) {
    if (bs.ReadFlag() && bs.ReadBits(8) == 255) bs.SkipBits(32);  // aspect ratio, extended SAR
    if (bs.ReadFlag()) bs.SkipBits(1);                            // overscan
    if (bs.ReadFlag()) {                                          // video signal type
        bs.SkipBits(4);
        if (bs.ReadFlag()) bs.SkipBits(24);  // colour description
    }
    if (bs.ReadFlag()) {  // chroma location
        bs.ReadUe();
        bs.ReadUe();
    }
    bs.SkipBits(3);       // neutral_chroma, field_seq, frame_field_info
    if (bs.ReadFlag()) {  // default display window
        for (int i = 0; i < 4; ++i) bs.ReadUe();
    }
}

// H.265 E.2.1 vui_parameters(): only min_spatial_segmentation_idc goes into the record.
void ParseVui(BitStream& bs, unsigned max_sub_layers_minus1, HEVCDecoderConfigurationRecord* record) {
    SkipVuiUpToTiming(bs);
    if (bs.ReadFlag()) {  // vui_timing_info_present_flag
        bs.SkipBits(64);
        if (bs.ReadFlag()) bs.ReadUe();  // num_ticks_poc_diff_one_minus1
        if (bs.ReadFlag() && !SkipHrdParameters(bs, max_sub_layers_minus1)) return;
    }
    if (!bs.ReadFlag()) return;  // bitstream_restriction_flag
    bs.SkipBits(3);
    uint32_t min_spatial_segmentation_idc = bs.ReadUe();
    if (min_spatial_segmentation_idc < record->min_spatial_segmentation_idc) {
        record->min_spatial_segmentation_idc = static_cast<uint16_t>(min_spatial_segmentation_idc);
    }
}

// The SPS from the chroma format to the bit depths.
void ParseSpsPictureFormat(BitStream& bs, HEVCDecoderConfigurationRecord* record) {
    uint32_t chroma_format_idc = bs.ReadUe();
    record->chromaFormat = static_cast<uint8_t>(chroma_format_idc & 0x03);
    if (chroma_format_idc == 3) bs.SkipBits(1);  // separate_colour_plane_flag
    bs.ReadUe();                                 // pic_width_in_luma_samples
    bs.ReadUe();                                 // pic_height_in_luma_samples
    if (bs.ReadFlag()) {                         // conformance_window_flag
        for (int i = 0; i < 4; ++i) bs.ReadUe();
    }
    record->bitDepthLumaMinus8 = static_cast<uint8_t>(bs.ReadUe() & 0x07);
    record->bitDepthChromaMinus8 = static_cast<uint8_t>(bs.ReadUe() & 0x07);
}

// From sub-layer ordering info to the PCM fields.
void SkipSpsCodingTools(BitStream& bs, unsigned max_sub_layers_minus1) {
    bool ordering_info_present = bs.ReadFlag();
    for (unsigned i = ordering_info_present ? 0 : max_sub_layers_minus1; i <= max_sub_layers_minus1; ++i) {
        for (int j = 0; j < 3; ++j) bs.ReadUe();
    }
    for (int i = 0; i < 6; ++i) bs.ReadUe();  // block sizes and transform hierarchy depths
    if (bs.ReadFlag() && bs.ReadFlag()) SkipScalingListData(bs);
    bs.SkipBits(2);       // amp, sample adaptive offset
    if (bs.ReadFlag()) {  // pcm_enabled_flag
        bs.SkipBits(8);
        bs.ReadUe();
        bs.ReadUe();
        bs.SkipBits(1);
    }
}

// Reference picture sets; false when the counts end the parse.
bool SkipSpsReferencePictures(BitStream& bs, uint32_t log2_max_poc_lsb) {
    uint32_t num_short_term_sets = bs.ReadUe();
    if (num_short_term_sets > kMaxShortTermRefPicSets) return false;
    uint32_t num_delta_pocs[kMaxShortTermRefPicSets] = {};
    for (uint32_t i = 0; i < num_short_term_sets; ++i) {
        if (!SkipShortTermRefPicSet(bs, i, num_delta_pocs)) return false;
    }
    if (bs.ReadFlag()) {  // long_term_ref_pics_present_flag
        uint32_t num_long_term = bs.ReadUe();
        if (num_long_term >= kMaxLongTermRefPics) return false;
        for (uint32_t i = 0; i < num_long_term; ++i) bs.SkipBits(log2_max_poc_lsb + 1);
    }
    return true;
}

}  // namespace

void HevcParseVps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record) {
    if (len <= kNalHeaderBytes) return;
    BitStream bs(nal + kNalHeaderBytes, len - kNalHeaderBytes);
    bs.SkipBits(12);  // vps id, base layer flags, max layers
    unsigned max_sub_layers_minus1 = bs.ReadBits(3);
    RaiseTemporalLayers(max_sub_layers_minus1, record);
    bs.SkipBits(17);  // temporal id nesting, reserved 0xffff
    ParseProfileTierLevel(bs, max_sub_layers_minus1, record);
}

void HevcParseSps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record) {
    if (len <= kNalHeaderBytes) return;
    BitStream bs(nal + kNalHeaderBytes, len - kNalHeaderBytes);
    bs.SkipBits(4);  // sps_video_parameter_set_id
    unsigned max_sub_layers_minus1 = bs.ReadBits(3);
    RaiseTemporalLayers(max_sub_layers_minus1, record);
    record->temporalIdNested = static_cast<uint8_t>(bs.ReadBits(1));
    ParseProfileTierLevel(bs, max_sub_layers_minus1, record);
    bs.ReadUe();  // sps_seq_parameter_set_id
    ParseSpsPictureFormat(bs, record);
    uint32_t log2_max_poc_lsb = std::min<uint32_t>(bs.ReadUe(), 12) + 4;
    SkipSpsCodingTools(bs, max_sub_layers_minus1);
    if (!SkipSpsReferencePictures(bs, log2_max_poc_lsb)) return;
    bs.SkipBits(2);  // temporal MVP, strong intra smoothing
    if (bs.ReadFlag()) ParseVui(bs, max_sub_layers_minus1, record);
}

void HevcParsePps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record) {
    if (len <= kNalHeaderBytes) return;
    BitStream bs(nal + kNalHeaderBytes, len - kNalHeaderBytes);
    bs.ReadUe();      // pps_pic_parameter_set_id
    bs.ReadUe();      // pps_seq_parameter_set_id
    bs.SkipBits(7);   // dependent slices, output flag, extra slice header bits, sign hiding, cabac init
    bs.ReadUe();      // num_ref_idx_l0_default_active_minus1
    bs.ReadUe();      // num_ref_idx_l1_default_active_minus1
    bs.ReadSe();      // init_qp_minus26
    bs.SkipBits(2);   // constrained intra pred, transform skip
    if (bs.ReadFlag()) bs.ReadUe();  // cu_qp_delta_enabled_flag, diff_cu_qp_delta_depth
    bs.ReadSe();      // pps_cb_qp_offset
    bs.ReadSe();      // pps_cr_qp_offset
    bs.SkipBits(4);   // slice chroma offsets, weighted pred and bipred, transquant bypass
    bool tiles = bs.ReadFlag();
    bool entropy_coding_sync = bs.ReadFlag();
    // ISO/IEC 14496-15 8.3.3.1.2: 1 slices, 2 tiles, 3 wavefront, 0 mixed or unknown.
    if (tiles && entropy_coding_sync) {
        record->parallelismType = 0;
    } else if (entropy_coding_sync) {
        record->parallelismType = 3;
    } else if (tiles) {
        record->parallelismType = 2;
    } else {
        record->parallelismType = 1;
    }
}
