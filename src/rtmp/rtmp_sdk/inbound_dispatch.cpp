// Decoding of complete messages from the server and their hand-over to the caller.
#include "rtmp/rtmp_sdk/inbound_dispatch.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rtmp/rtmp_sdk/inbound_audio.h"
#include "rtmp/rtmp_sdk/inbound_status.h"

namespace {

const uint8_t* Body(const RTMPPacket& packet) { return reinterpret_cast<const uint8_t*>(packet.m_body); }

int DispatchCommand(const RTMPPacket& packet, const ReadTarget& target) {
    AMFObject values;
    StatusCommand status;
    bool is_status = ParseOnStatusCommand(packet.m_body, packet.m_nBodySize, &values, &status);
    if (is_status) {
        if (target.verbose) {
            std::printf("notify  message code=%.*s  description=%.*s \n", status.code.av_len, status.code.av_val,
                        status.description.av_len, status.description.av_val);
        }
        if (target.handler->onnotify != nullptr) {
            target.handler->onnotify(status.code.av_val, status.code.av_len, status.description.av_val,
                                     status.description.av_len, target.param);
        }
    }
    AMF_Reset(&values);
    return is_status ? ZENQ_RTMP_SUCCESS : ZENQ_RTMP_READ_MESSAGE_FAILED;
}

// Decrypts into the reading thread's buffer; false when the body is not a valid ciphertext.
bool DecryptAudio(rtmp_client_s* context, const RTMPPacket& packet, const uint8_t** body, size_t* len) {
    size_t size = packet.m_nBodySize;
    if (size == 0) return false;  // no ciphertext holds zero bytes: PKCS#7 always pads
    if (context->decrypt_buffer.size() < size + kAesBlockBytes) context->decrypt_buffer.resize(size + kAesBlockBytes);
    std::memcpy(context->decrypt_buffer.data(), Body(packet), size);
    long clear = context->decryptor.DecryptInPlace(context->decrypt_buffer.data(), size);
    if (clear < 0) return false;
    *body = context->decrypt_buffer.data();
    *len = static_cast<size_t>(clear);
    return true;
}

void ReportAudioHeader(const InboundAudio& audio, const ReadTarget& target) {
    if (target.verbose) {
        std::printf(audio.format == ZENQ_RTMP_AUDIO_FORMAT_AAC
                        ? "audio header aac samplerate=%d  audiosize=%d  audiomode=%d \n"
                        : "audio header g711a samplerate=%d  audiosize=%d  audiomode=%d \n",
                    audio.rate, audio.bit, audio.channel);
    }
    if (target.handler->onaudioheader != nullptr) {
        target.handler->onaudioheader(audio.format, audio.rate, audio.bit, audio.channel, target.param);
    }
}

int DispatchAudio(rtmp_client_s* context, const RTMPPacket& packet, const ReadTarget& target) {
    const uint8_t* body = Body(packet);
    size_t len = packet.m_nBodySize;
    // A body that does not decrypt is not the peer's audio; it is dropped, never played as noise.
    if (context->config.stream_encrypt && !DecryptAudio(context, packet, &body, &len)) {
        return ZENQ_RTMP_READ_MESSAGE_FAILED;
    }
    InboundAudio audio = ParseInboundAudio(body, len);
    if (audio.kind == InboundAudio::kHeader) ReportAudioHeader(audio, target);
    if (audio.kind == InboundAudio::kData && target.handler->onaudio != nullptr) {
        target.handler->onaudio(audio.data, static_cast<int>(audio.len), packet.m_nTimeStamp, target.param);
    }
    return ZENQ_RTMP_SUCCESS;
}

int DispatchVideo(const RTMPPacket& packet, const ReadTarget& target) {
    if (target.verbose) std::printf("video rtmp packet, dts=%d\n", static_cast<int>(packet.m_nTimeStamp));
    if (target.handler->onvideo != nullptr) {
        target.handler->onvideo(Body(packet), static_cast<int>(packet.m_nBodySize),
                                packet.m_nTimeStamp, target.param);
    }
    return ZENQ_RTMP_SUCCESS;
}

int CopyStatusText(const AVal& text, char* out) {
    size_t copied = std::min<size_t>(static_cast<size_t>(text.av_len), ZENQ_RTMP_STATUS_TEXT_MAX);
    if (copied > 0) std::memcpy(out, text.av_val, copied);
    out[copied] = '\0';
    return text.av_len;
}

}  // namespace

int DecodeStatusReply(const RTMPPacket& packet, char* code, int* code_len, char* description, int* description_len) {
    if (packet.m_packetType != RTMP_PACKET_TYPE_INVOKE) return ZENQ_RTMP_READ_MESSAGE_FAILED;
    AMFObject values;
    StatusCommand status;
    bool is_status = ParseOnStatusCommand(packet.m_body, packet.m_nBodySize, &values, &status);
    if (is_status) {
        *code_len = CopyStatusText(status.code, code);
        *description_len = FormatStatusDescription(status.description, description, ZENQ_RTMP_STATUS_TEXT_MAX + 1);
    }
    AMF_Reset(&values);
    return is_status ? ZENQ_RTMP_SUCCESS : ZENQ_RTMP_READ_MESSAGE_FAILED;
}


int DispatchInboundMessage(rtmp_client_s* context, const RTMPPacket& packet, const ReadTarget& target) {
    switch (packet.m_packetType) {
        case RTMP_PACKET_TYPE_CONTROL:
        case RTMP_PACKET_TYPE_INVOKE: return DispatchCommand(packet, target);
        case RTMP_PACKET_TYPE_VIDEO: return DispatchVideo(packet, target);
        case RTMP_PACKET_TYPE_AUDIO: return DispatchAudio(context, packet, target);
        default: return ZENQ_RTMP_SUCCESS;
    }
}
