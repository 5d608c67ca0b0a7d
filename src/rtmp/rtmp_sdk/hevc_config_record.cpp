#include "rtmp/rtmp_sdk/hevc_config_record.h"

#include <cstring>

#include "rtmp/rtmp_sdk/big_endian_writer.h"
#include "rtmp/rtmp_sdk/hevc_parameter_sets.h"

namespace {

constexpr int kScanLimit = 1024;  // parameter sets lead the key frame; only its head is searched
constexpr int kMaxRecordedUnits = 10;
constexpr size_t kFixedFieldsBytes = 23;
constexpr size_t kArrayHeaderBytes = 3;
constexpr size_t kUnitHeaderBytes = 2;

struct ParameterSetKind {
    HEVCNALUnitType type;
    uint16_t max_count;  // ISO/IEC 14496-15 8.3.3.1.2 limits
    void (*parse)(const uint8_t*, size_t, HEVCDecoderConfigurationRecord*);
};

const ParameterSetKind kParameterSetKinds[3] = {
    {HEVC_NAL_VPS, 16, HevcParseVps},
    {HEVC_NAL_SPS, 32, HevcParseSps},
    {HEVC_NAL_PPS, 256, HevcParsePps},
};

struct NalUnitSpan {
    const uint8_t* data;
    size_t len;
};

bool IsStartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

int NalType(const uint8_t* unit) { return (unit[0] >> 1) & 0x3F; }

bool IsRecordedType(int type) {
    return type == HEVC_NAL_VPS || type == HEVC_NAL_SPS || type == HEVC_NAL_PPS || type == HEVC_NAL_SEI_PREFIX ||
           type == HEVC_NAL_SEI_SUFFIX || type == HEVC_NAL_IDR_W_RADL;
}

// A unit ends at the next start code of any unit (ISO/IEC 14496-15: each entry holds exactly one NAL
// unit), so a slice that was not recorded never becomes part of a parameter set.
size_t UnitLength(const uint8_t* data, int size, int start) {
    for (int i = start; i + 3 <= size; ++i) {
        if (IsStartCode(data + i)) return static_cast<size_t>(i - start);
    }
    return static_cast<size_t>(size - start);
}

int FindRecordedUnits(const uint8_t* data, int size, NalUnitSpan* units) {
    int count = 0;
    for (int i = 0; i < size - 4 && i < kScanLimit && count < kMaxRecordedUnits; ++i) {
        if (!IsStartCode(data + i) || !IsRecordedType(NalType(data + i + 3))) continue;
        units[count++] = {data + i + 3, UnitLength(data, size, i + 3)};
    }
    return count;
}

// Adds the first unit of each parameter-set kind to its array and reads its fields; false when a
// unit does not fit the 16-bit length field.
bool CollectParameterSets(const NalUnitSpan* units, int count, int completeness,
                          HEVCDecoderConfigurationRecord* record) {
    for (int k = 0; k < 3; ++k) {
        HVCCNALUnitArray& array = record->array[k];
        array.NAL_unit_type = static_cast<uint8_t>(kParameterSetKinds[k].type);
        array.array_completeness = static_cast<uint8_t>(completeness ? 1 : 0);
        for (int u = 0; u < count; ++u) {
            if (NalType(units[u].data) != kParameterSetKinds[k].type) continue;
            if (units[u].len > UINT16_MAX) return false;
            array.nalUnit[0] = units[u].data;
            array.nalUnitLength[0] = static_cast<uint16_t>(units[u].len);
            array.numNalus = 1;
            kParameterSetKinds[k].parse(units[u].data, units[u].len, record);
            break;
        }
    }
    return true;
}

size_t RecordSize(const HEVCDecoderConfigurationRecord& record) {
    size_t size = kFixedFieldsBytes;
    for (const HVCCNALUnitArray& array : record.array) {
        size += kArrayHeaderBytes;
        for (int i = 0; i < array.numNalus; ++i) size += kUnitHeaderBytes + array.nalUnitLength[i];
    }
    return size;
}

void WriteRecord(const HEVCDecoderConfigurationRecord& r, BigEndianWriter& out) {
    out.U8(r.configurationVersion);
    out.U8(r.general_profile_space << 6 | r.general_tier_flag << 5 | r.general_profile_idc);
    out.U32(r.general_profile_compatibility_flags);
    out.Uint(r.general_constraint_indicator_flags, 6);
    out.U8(r.general_level_idc);
    out.U16(0xF000 | r.min_spatial_segmentation_idc);
    out.U8(0xFC | r.parallelismType);
    out.U8(0xFC | r.chromaFormat);
    out.U8(0xF8 | r.bitDepthLumaMinus8);
    out.U8(0xF8 | r.bitDepthChromaMinus8);
    out.U16(r.avgFrameRate);
    out.U8(r.constantFrameRate << 6 | r.numTemporalLayers << 3 | r.temporalIdNested << 2 | r.lengthSizeMinusOne);
    out.U8(r.numOfArrays);
    for (const HVCCNALUnitArray& array : r.array) {
        out.U8(array.array_completeness << 7 | (array.NAL_unit_type & 0x3F));
        out.U16(array.numNalus);
        for (int i = 0; i < array.numNalus; ++i) {
            out.U16(array.nalUnitLength[i]);
            out.Bytes(array.nalUnit[i], array.nalUnitLength[i]);
        }
    }
}

// ISO/IEC 14496-15 8.3.3.1.2 value rules applied just before writing.
void FinishRecord(HEVCDecoderConfigurationRecord* record) {
    record->configurationVersion = 1;
    if (record->min_spatial_segmentation_idc > 4096) record->min_spatial_segmentation_idc = 0;
    if (record->min_spatial_segmentation_idc == 0) record->parallelismType = 0;
    record->avgFrameRate = 0;
    record->constantFrameRate = 0;
}

bool CountsAllowed(const HEVCDecoderConfigurationRecord& record) {
    for (int k = 0; k < 3; ++k) {
        uint16_t n = record.array[k].numNalus;
        if (n < 1 || n > kParameterSetKinds[k].max_count) return false;
    }
    return true;
}

int CopyRecordThrough(ov_io_stream* pb, const uint8_t* data, int size) {
    if (pb->total_len - pb->index < static_cast<size_t>(size)) return -1;
    std::memcpy(pb->buf + pb->index, data, static_cast<size_t>(size));
    pb->index += static_cast<size_t>(size);
    return 0;
}

bool StartsWithStartCode(const uint8_t* data) {
    return IsStartCode(data) || (data[0] == 0 && IsStartCode(data + 1));
}

}  // namespace

int ov_ff_isom_write_hvcc(ov_io_stream* pb, const uint8_t* data, int size, int ps_array_completeness) {
    if (pb == nullptr || data == nullptr || size <= 5 || pb->index > pb->total_len) return -1;
    if (data[0] == 1) return CopyRecordThrough(pb, data, size);
    if (!StartsWithStartCode(data)) return -2;

    NalUnitSpan units[kMaxRecordedUnits];
    int count = FindRecordedUnits(data, size, units);
    HEVCDecoderConfigurationRecord record;
    if (!CollectParameterSets(units, count, ps_array_completeness, &record)) return -1;
    FinishRecord(&record);
    if (!CountsAllowed(record)) return -1;
    if (pb->total_len - pb->index < RecordSize(record)) return -1;

    BigEndianWriter out(pb->buf + pb->index);
    WriteRecord(record, out);
    pb->index += out.size();
    return 0;
}
