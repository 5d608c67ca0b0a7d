#include "rtmp/rtmp_sdk/flv_video_body.h"

#include "rtmp/rtmp_sdk/big_endian_writer.h"
#include "rtmp/rtmp_sdk/hevc_config_record.h"

namespace {

constexpr uint8_t kSequenceHeader = 0;
constexpr uint8_t kNalu = 1;

// FLV 10.1 E.4.3.1: frame type in the high nibble (1 key, 2 inter), codec id in the low one.
struct VideoCodecTags {
    zenq_rtmp_video_format_e format;
    uint8_t key_frame;
    uint8_t inter_frame;
};

constexpr VideoCodecTags kVideoCodecTags[] = {
    {ZENQ_RTMP_VIDEO_FORMAT_AVC, 0x17, 0x27},
    {ZENQ_RTMP_VIDEO_FORMAT_HEVC, 0x1C, 0x2C},
};

const VideoCodecTags* FindTags(zenq_rtmp_video_format_e format) {
    for (const VideoCodecTags& tags : kVideoCodecTags) {
        if (tags.format == format) return &tags;
    }
    return nullptr;
}

void WriteVideoHeader(BigEndianWriter& out, uint8_t frame_and_codec, uint8_t packet_type) {
    out.U8(frame_and_codec);
    out.U8(packet_type);
    out.U24(0);  // composition time: the frames carry no reordering delay
}

}  // namespace

size_t WriteAvcSequenceHeader(uint8_t* body, const uint8_t* sps, size_t sps_len, const uint8_t* pps,
                              size_t pps_len) {
    // The SPS must reach its level byte; lengths are 16-bit in the record.
    if (sps_len < 4 || pps_len == 0 || sps_len > UINT16_MAX || pps_len > UINT16_MAX) return 0;
    BigEndianWriter out(body);
    WriteVideoHeader(out, 0x17, kSequenceHeader);
    out.U8(1);                // configurationVersion
    out.Bytes(sps + 1, 3);    // profile_idc, constraint flags, level_idc
    out.U8(0xFF);             // reserved 6 bits, lengthSizeMinusOne 3
    out.U8(0xE1);             // reserved 3 bits, one SPS
    out.U16(static_cast<uint32_t>(sps_len));
    out.Bytes(sps, sps_len);
    out.U8(1);  // one PPS
    out.U16(static_cast<uint32_t>(pps_len));
    out.Bytes(pps, pps_len);
    return out.size();
}

size_t WriteHevcSequenceHeader(uint8_t* body, size_t capacity, const uint8_t* frame, size_t frame_len,
                               int* result) {
    *result = -1;
    if (capacity < kFlvVideoHeaderBytes || frame_len > INT32_MAX) return 0;
    BigEndianWriter out(body);
    WriteVideoHeader(out, 0x1C, kSequenceHeader);
    ov_io_stream record{body, out.size(), capacity};
    *result = ov_ff_isom_write_hvcc(&record, frame, static_cast<int>(frame_len), 0);
    return *result == 0 ? record.index : 0;
}

size_t WriteVideoFrame(uint8_t* body, zenq_rtmp_video_format_e format, bool key_frame, const uint8_t* payload,
                       size_t payload_len) {
    const VideoCodecTags* tags = FindTags(format);
    if (tags == nullptr || payload_len > UINT32_MAX) return 0;
    BigEndianWriter out(body);
    WriteVideoHeader(out, key_frame ? tags->key_frame : tags->inter_frame, kNalu);
    out.U32(static_cast<uint32_t>(payload_len));
    out.Bytes(payload, payload_len);
    return out.size();
}
