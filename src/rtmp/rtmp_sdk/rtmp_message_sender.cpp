#include "rtmp/rtmp_sdk/rtmp_message_sender.h"

namespace {

constexpr int kMediaChunkStream = 4;
constexpr int kCommandChunkStream = 3;

int Send(rtmp_client_s* context, RTMPPacket* packet, bool queue) {
    RTMP* r = context->rtmp.get();
    if (!RTMP_IsConnected(r)) return ZENQ_RTMP_IS_DISCONNECTED;
    packet->m_nInfoField2 = r->m_stream_id;
    return RTMP_SendPacket(r, packet, queue ? 1 : 0) ? ZENQ_RTMP_SUCCESS : ZENQ_RTMP_SEND_FAILED;
}

}  // namespace

int SendMediaBody(rtmp_client_s* context, const OutgoingBody& out) {
    size_t len = out.len;
    if (context->config.stream_encrypt && out.encrypt_from >= 0) {
        size_t from = static_cast<size_t>(out.encrypt_from);
        size_t padded = context->encryptor.EncryptInPlace(out.body + from, len - from, out.capacity - from);
        if (padded == 0) return ZENQ_RTMP_SEND_FAILED;
        len = from + padded;
    }
    RTMPPacket packet;
    packet.m_headerType = RTMP_PACKET_SIZE_LARGE;
    packet.m_packetType = out.packet_type;
    packet.m_nChannel = kMediaChunkStream;
    packet.m_nTimeStamp = out.timestamp;
    packet.m_body = reinterpret_cast<char*>(out.body);
    packet.m_nBodySize = static_cast<uint32_t>(len);
    return Send(context, &packet, false);
}

int SendScriptBody(rtmp_client_s* context, uint8_t packet_type, char* body, size_t len, bool queue) {
    RTMPPacket packet;
    packet.m_headerType = RTMP_PACKET_SIZE_MEDIUM;
    packet.m_packetType = packet_type;
    packet.m_nChannel = kCommandChunkStream;
    packet.m_nTimeStamp = 0;
    packet.m_body = body;
    packet.m_nBodySize = static_cast<uint32_t>(len);
    // Data and command messages report every failure to send, a closed connection included, as such.
    int result = Send(context, &packet, queue);
    return result == ZENQ_RTMP_IS_DISCONNECTED ? ZENQ_RTMP_SEND_FAILED : result;
}
