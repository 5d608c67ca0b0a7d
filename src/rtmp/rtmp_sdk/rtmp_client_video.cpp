// IOT_RTMP_SendVideo: one Annex-B frame to decoder configuration and NALU messages.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rtmp/rtmp_sdk/annexb_frame_layout.h"
#include "rtmp/rtmp_sdk/flv_video_body.h"
#include "rtmp/rtmp_sdk/media_timestamp.h"
#include "rtmp/rtmp_sdk/raw_enum.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/rtmp_client_guard.h"
#include "rtmp/rtmp_sdk/rtmp_message_sender.h"

namespace {

constexpr size_t kMinFrameBytes = 5;
constexpr size_t kStartCodeBytes = 3;
constexpr size_t kPrivateSeiMinBytes = 9;
constexpr long kEncryptAfterVideoHeader = static_cast<long>(kFlvVideoHeaderBytes);

// Grows the body buffer by half again, so a stream of growing frames reallocates rarely.
void EnsureVideoCapacity(rtmp_client_s* context, size_t frame_len) {
    size_t size = context->video_packet.bytes.size();
    if (size - kVideoBodySpareBytes >= frame_len) return;
    size_t grown = std::max((size - kVideoBodySpareBytes) * 3 / 2, frame_len) + kVideoBodySpareBytes;
    std::vector<uint8_t> replacement(grown);  // on failure the old buffer stays usable
    context->video_packet.bytes.swap(replacement);
}

void UpdateParameterSet(rtmp_client_s* context, nal_unit_s* cache, const uint8_t* data, const FrameLayout& layout,
                        int index) {
    if (index < 0) return;
    const FrameUnit& unit = layout.units[index];
    if (cache->Equals(data + unit.offset, unit.len)) return;
    cache->Assign(data + unit.offset, unit.len);
    context->video_header_send = false;  // the next key frame carries the new configuration
}

bool IsPrivateSei(const uint8_t* unit, size_t len) {
    static const uint8_t kMarkers[][4] = {{'B', 'A', 'B', 'A'}, {'9', '9', '8', '8'}};
    if (len < kPrivateSeiMinBytes) return false;
    return std::any_of(std::begin(kMarkers), std::end(kMarkers),
                       [unit](const uint8_t* marker) { return std::memcmp(unit + 1, marker, 4) == 0; });
}

void UpdateSeiCache(rtmp_client_s* context, const uint8_t* data, const FrameLayout& layout) {
    if (layout.sei < 0) {
        context->sei.Clear();
        return;
    }
    const FrameUnit& unit = layout.units[layout.sei];
    if (!IsPrivateSei(data + unit.offset, unit.len)) return;
    size_t with_start_code = unit.len + kStartCodeBytes;
    context->sei.Grow(with_start_code);
    context->sei.Assign(data + unit.offset - kStartCodeBytes, with_start_code);
}

// Where the payload starts: the slice, or the cached private SEI written in front of the slice's
// start code (which stays, so the SEI and the slice remain separate units). nullptr: no room.
uint8_t* PayloadStart(rtmp_client_s* context, uint8_t* data, const FrameUnit& slice) {
    if (context->sei.empty()) return data + slice.offset;
    size_t needed = context->sei.len() + kStartCodeBytes;
    if (slice.offset < needed) return nullptr;
    uint8_t* start = data + slice.offset - needed;
    std::memcpy(start, context->sei.data(), context->sei.len());
    return start;
}

int SendDecoderConfiguration(rtmp_client_s* context, zenq_rtmp_video_format_e format, const uint8_t* data,
                             size_t len, uint32_t timestamp) {
    MessageBuffer& buffer = context->video_packet;
    size_t body_len = 0;
    if (format == ZENQ_RTMP_VIDEO_FORMAT_HEVC) {
        int result = 0;
        body_len = WriteHevcSequenceHeader(buffer.body(), buffer.body_capacity() - kAesBlockBytes, data, len, &result);
        if (body_len == 0) {
            std::printf("Parse hevc header failed, ret = %d\n", result);
            return result;
        }
    } else {
        body_len = WriteAvcSequenceHeader(buffer.body(), context->sps.data(), context->sps.len(),
                                          context->pps.data(), context->pps.len());
        if (body_len == 0) return ZENQ_RTMP_ILLEGAL_INPUT;
    }
    return SendMediaBody(context, {RTMP_PACKET_TYPE_VIDEO, buffer.body(), body_len, buffer.body_capacity(), timestamp,
                                   kEncryptAfterVideoHeader});
}

const char* ConfigurationFailureText(zenq_rtmp_video_format_e format) {
    return format == ZENQ_RTMP_VIDEO_FORMAT_HEVC ? "Send h265 failed, ret = %d\n" : "Send sps pps failed, ret = %d\n";
}

int SendFrame(rtmp_client_s* context, zenq_rtmp_video_format_e format, uint8_t* data, size_t len, bool key_frame,
              uint32_t timestamp, const FrameUnit& slice) {
    if (!context->video_header_send && key_frame) {
        int result = SendDecoderConfiguration(context, format, data, len, timestamp);
        if (result != ZENQ_RTMP_SUCCESS) {
            std::printf(ConfigurationFailureText(format), result);
            return ZENQ_RTMP_SUCCESS;
        }
        context->video_header_send = true;
    }
    if (!context->video_header_send) return ZENQ_RTMP_SUCCESS;
    uint8_t* payload = PayloadStart(context, data, slice);
    if (payload == nullptr) {
        std::printf("SEI INFO ERROR, Should not be here\n");
        return ZENQ_RTMP_SUCCESS;
    }
    MessageBuffer& buffer = context->video_packet;
    size_t payload_len = len - static_cast<size_t>(payload - data);
    size_t body_len = WriteVideoFrame(buffer.body(), format, key_frame, payload, payload_len);
    context->cur_video_packet_body_len = body_len;
    return SendMediaBody(context, {RTMP_PACKET_TYPE_VIDEO, buffer.body(), body_len, buffer.body_capacity(), timestamp,
                                   key_frame ? kEncryptAfterVideoHeader : -1});
}

int SendVideo(rtmp_client_s* context, uint8_t* data, size_t len, bool key_frame, uint32_t timestamp) {
    EnsureVideoCapacity(context, len);
    uint32_t sent_timestamp = 0;
    int refused = 0;
    if (!ApplyMediaTimestamp(context, &context->video_timestamps, &context->config.video_timestamp_base, timestamp,
                             &sent_timestamp, &refused)) {
        return refused;
    }
    int raw_format = RawEnum(context->config.video_format);
    auto format = raw_format == ZENQ_RTMP_VIDEO_FORMAT_HEVC ? ZENQ_RTMP_VIDEO_FORMAT_HEVC : ZENQ_RTMP_VIDEO_FORMAT_AVC;
    FrameLayout layout = AnalyzeAnnexBFrame(data, len, format);
    UpdateParameterSet(context, &context->sps, data, layout, layout.sps);
    UpdateParameterSet(context, &context->pps, data, layout, layout.pps);
    UpdateParameterSet(context, &context->vps, data, layout, layout.vps);
    UpdateSeiCache(context, data, layout);
    if (layout.slice < 0) return ZENQ_RTMP_SUCCESS;
    if (raw_format != ZENQ_RTMP_VIDEO_FORMAT_AVC && raw_format != ZENQ_RTMP_VIDEO_FORMAT_HEVC) {
        return ZENQ_RTMP_UNSUPPORT_FORMAT;
    }
    return SendFrame(context, format, data, len, key_frame, sent_timestamp, layout.units[layout.slice]);
}

}  // namespace

extern "C" int IOT_RTMP_SendVideo(rtmp_client_s* context, uint8_t* data, uint32_t data_len, int key_frame,
                                  uint32_t timestamp) {
    if (context == nullptr || data == nullptr || data_len < kMinFrameBytes) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_SendVideo",
                       [&] { return SendVideo(context, data, data_len, key_frame != 0, timestamp); });
}
