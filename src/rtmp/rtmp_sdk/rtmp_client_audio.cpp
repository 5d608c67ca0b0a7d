// IOT_RTMP_SendAudio: configuration message once per connection, then one message per frame.
#include "rtmp/rtmp_sdk/flv_audio_body.h"
#include "rtmp/rtmp_sdk/media_timestamp.h"
#include "rtmp/rtmp_sdk/raw_enum.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/rtmp_message_sender.h"

namespace {

constexpr uint32_t kMaxAudioFrameBytes = 8192;
constexpr long kEncryptWholeBody = 0;

int SendAudioBody(rtmp_client_s* context, size_t body_len, uint32_t timestamp) {
    MessageBuffer& buffer = context->audio_packet;
    return SendMediaBody(context, {RTMP_PACKET_TYPE_AUDIO, buffer.body(), body_len, buffer.body_capacity(), timestamp,
                                   kEncryptWholeBody});
}

int SendAudio(rtmp_client_s* context, const uint8_t* data, uint32_t len, uint32_t timestamp) {
    uint32_t sent_timestamp = 0;
    int refused = 0;
    if (!ApplyMediaTimestamp(context, &context->audio_timestamps, &context->config.audio_timestamp_base, timestamp,
                             &sent_timestamp, &refused)) {
        return refused;
    }
    zenq_rtmp_audio_format_e format = context->config.audio_format;
    if (!FlvAudioFormatSupported(format)) return ZENQ_RTMP_UNSUPPORT_FORMAT;
    if (FlvAudioFormatHasSequenceHeader(format) && !context->audio_header_send) {
        size_t header_len = WriteAudioSequenceHeader(context->audio_packet.body(), context->config);
        int result = SendAudioBody(context, header_len, sent_timestamp);
        if (result != ZENQ_RTMP_SUCCESS) return result;  // tried again with the next frame
        context->audio_header_send = true;
    }
    size_t body_len = WriteAudioFrame(context->audio_packet.body(), context->config, data, len);
    return SendAudioBody(context, body_len, sent_timestamp);
}

}  // namespace

extern "C" int IOT_RTMP_SendAudio(rtmp_client_s* context, const uint8_t* data, uint32_t data_len, uint32_t timestamp) {
    if (context == nullptr || data == nullptr || data_len < 1 || data_len > kMaxAudioFrameBytes) {
        return ZENQ_RTMP_ILLEGAL_INPUT;
    }
    return SendAudio(context, data, data_len, timestamp);
}
