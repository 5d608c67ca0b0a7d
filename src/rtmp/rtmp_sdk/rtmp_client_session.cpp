// Context life cycle, configuration and the connection.
#include <cstring>

#include "rtmp/rtmp_sdk/raw_enum.h"
#include "rtmp/rtmp_sdk/rtmp_client_context.h"
#include "rtmp/rtmp_sdk/rtmp_client_guard.h"

namespace {

bool OneOf(int value, std::initializer_list<int> allowed) {
    for (int candidate : allowed) {
        if (value == candidate) return true;
    }
    return false;
}

// Out-of-range choices fall back to what a camera stream most likely is.
void CopyValidated(const zenq_rtmp_config_s& in, zenq_rtmp_config_s* out) {
    uint32_t error_count = out->timestamp_error_count;
    *out = in;
    out->timestamp_error_count = error_count;
    if (!OneOf(RawEnum(in.video_format), {ZENQ_RTMP_VIDEO_FORMAT_AVC, ZENQ_RTMP_VIDEO_FORMAT_HEVC})) {
        SetRawEnum(&out->video_format, ZENQ_RTMP_VIDEO_FORMAT_AVC);
    }
    if (!OneOf(RawEnum(in.audio_format), {ZENQ_RTMP_AUDIO_FORMAT_ADPCM, ZENQ_RTMP_AUDIO_FORMAT_G711A,
                                          ZENQ_RTMP_AUDIO_FORMAT_G711U, ZENQ_RTMP_AUDIO_FORMAT_AAC})) {
        SetRawEnum(&out->audio_format, ZENQ_RTMP_AUDIO_FORMAT_AAC);
    }
    int rate = RawEnum(in.audio_rate);
    if (rate < ZENQ_RTMP_AUDIO_RATE_5_5K || rate > ZENQ_RTMP_AUDIO_RATE_44K) {
        SetRawEnum(&out->audio_rate, ZENQ_RTMP_AUDIO_RATE_44K);
    }
    if (!OneOf(RawEnum(in.audio_bit), {ZENQ_RTMP_AUDIO_BIT_8BIT, ZENQ_RTMP_AUDIO_BIT_16BIT})) {
        SetRawEnum(&out->audio_bit, ZENQ_RTMP_AUDIO_BIT_16BIT);
    }
    if (!OneOf(RawEnum(in.audio_channel), {ZENQ_RTMP_AUDIO_CHANNEL_MONO, ZENQ_RTMP_AUDIO_CHANNEL_STEREO})) {
        SetRawEnum(&out->audio_channel, ZENQ_RTMP_AUDIO_CHANNEL_MONO);
    }
}

std::unique_ptr<rtmp_client_s> CreateContext() {
    auto context = std::make_unique<rtmp_client_s>();
    context->rtmp.reset(RTMP_Alloc());
    if (!context->rtmp) throw std::bad_alloc();
    RTMP_Init(context->rtmp.get());
    context->video_packet.bytes.resize(kVideoBodyInitialBytes);
    context->audio_packet.bytes.resize(kAudioBodyBytes);
    return context;
}

int Connect(rtmp_client_s* context, char* url) {
    RTMP* r = context->rtmp.get();
    // A socket left open by a failed or unclosed connection must not leak into the new one.
    if (RTMP_IsConnected(r)) RTMP_Close(r);
    RTMP_Init(r);
    if (!RTMP_SetupURL(r, url)) return ZENQ_RTMP_CONNECT_FAILED;
    RTMP_EnableWrite(r);
    if (!RTMP_Connect(r, nullptr)) return ZENQ_RTMP_CONNECT_FAILED;
    if (!RTMP_ConnectStream(r, 0)) return ZENQ_RTMP_CONNECT_FAILED;
    return ZENQ_RTMP_SUCCESS;
}

}  // namespace

extern "C" {

int IOT_RTMP_Init(rtmp_client_s** context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_Init", [&] {
        *context = CreateContext().release();
        return ZENQ_RTMP_SUCCESS;
    });
}

int IOT_RTMP_Deinit(rtmp_client_s* context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    delete context;
    return ZENQ_RTMP_SUCCESS;
}

int IOT_RTMP_SetConfig(rtmp_client_s* context, const zenq_rtmp_config_s* config) {
    if (context == nullptr || config == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    CopyValidated(*config, &context->config);
    context->video_timestamps.Reset(config->video_timestamp_base);
    context->audio_timestamps.Reset(config->audio_timestamp_base);
    context->encryptor.SetKey(config->key, config->iv);
    context->decryptor.SetKey(config->key, config->iv);
    return ZENQ_RTMP_SUCCESS;
}

int IOT_RTMP_SetReadCallback(rtmp_client_s* context, const zenq_rtmp_read_handler* handler) {
    if (context == nullptr || handler == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    context->handler = *handler;
    return ZENQ_RTMP_SUCCESS;
}

int IOT_RTMP_SetVideoFormat(rtmp_client_s* context, zenq_rtmp_video_format_e format) {
    if (context != nullptr) SetRawEnum(&context->config.video_format, RawEnum(format));
    return ZENQ_RTMP_SUCCESS;
}

int IOT_RTMP_Connect(rtmp_client_s* context, char* url) {
    if (context == nullptr || url == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return GuardedCall("IOT_RTMP_Connect", [&] { return Connect(context, url); });
}

int IOT_RTMP_Disconnect(rtmp_client_s* context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    RTMP_Close(context->rtmp.get());
    context->video_header_send = false;
    context->audio_header_send = false;
    return ZENQ_RTMP_SUCCESS;
}

int IOT_RTMP_IsConnect(rtmp_client_s* context) {
    if (context == nullptr) return ZENQ_RTMP_ILLEGAL_INPUT;
    return RTMP_IsConnected(context->rtmp.get()) ? ZENQ_RTMP_SUCCESS : ZENQ_RTMP_IS_DISCONNECTED;
}

int IOT_RTMP_CheckPlaying(rtmp_client_s* context) {
    return context != nullptr && context->rtmp->m_bOvPlayStart ? 1 : 0;
}

int IOT_RTMP_CheckTalkReady(rtmp_client_s* context) {
    return context != nullptr && context->rtmp->m_bOvTalkReady ? 1 : 0;
}

}  // extern "C"
