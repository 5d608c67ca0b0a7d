// Life of a connection state: initialisation, connect, stream set-up, close.
#include <new>

#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

void FreeIncomingBodies(RTMP* r) {
    for (RTMPPacket& entry : r->m_vecChannelsIn) RTMPPacket_Free(&entry);
    std::vector<RTMPPacket>().swap(r->m_vecChannelsIn);
    std::vector<uint32_t>().swap(r->m_channelTimestamp);
}

// The shared part of the state, torn down under the lock when a connection closes.
void ResetSharedState(RTMP* r) {
    ConnectionLock lock(r);
    r->m_stream_id = -1;
    r->m_numInvokes = 0;
    FreeIncomingBodies(r);
    std::vector<RTMPChunkStreamOut>().swap(r->m_vecChannelsOut);
    r->m_methodCalls.clear();
    r->m_bPlaying = 0;
    r->m_bOvPlayStart = 0;
    r->m_bOvTalkReady = 0;
}

// Everything else; only while no other thread uses the state.
void ResetOwnedState(RTMP* r) {
    r->m_inChunkSize = RTMP_DEFAULT_CHUNKSIZE;
    r->m_outChunkSize = RTMP_DEFAULT_CHUNKSIZE;
    r->m_nBWCheckCounter = 0;
    r->m_nBytesIn = 0;
    r->m_nBytesInSent = 0;
    r->m_nBufferMS = 30000;
    r->m_nServerBW = 2500000;
    r->m_nClientBW = 2500000;
    r->m_nClientBW2 = 2;
    r->m_bSendCounter = 0;
    r->m_fAudioCodecs = 3191.0;
    r->m_fVideoCodecs = 252.0;
    r->m_fEncoding = 0;
    r->m_sb.sb_size = 0;
    r->m_sb.sb_start = r->m_sb.sb_buf;
    r->m_sb.sb_timedout = 0;
    r->m_sb.sb_users = 0;
    r->m_sb.sb_pendingClose = -1;
    r->Link = RTMP_LNK{};
    r->close = 0;
}

struct UnsupportedFeature {
    int bit;
    const char* message;
};

const UnsupportedFeature kUnsupportedFeatures[] = {
    {RTMP_FEATURE_SSL, "%s, no SSL/TLS support"},
    {RTMP_FEATURE_HTTP, "%s, no HTTP tunnelling support"},
    {RTMP_FEATURE_ENC, "%s, no encrypted handshake support"},
    {RTMP_FEATURE_MFP, "%s, no RTMFP support"},
};

bool SchemeSupported(const RTMP* r) {
    for (const UnsupportedFeature& feature : kUnsupportedFeatures) {
        if (r->Link.protocol & feature.bit) {
            RTMP_LOGE(feature.message, "RTMP_Connect");
            return false;
        }
    }
    return true;
}

bool IsMediaOrData(const RTMPPacket& packet) {
    return packet.m_packetType == RTMP_PACKET_TYPE_AUDIO || packet.m_packetType == RTMP_PACKET_TYPE_VIDEO ||
           packet.m_packetType == RTMP_PACKET_TYPE_INFO;
}

}  // namespace

void CloseConnection(RTMP* r, bool say_goodbye) {
    {
        ConnectionLock lock(r);
        if (r->close) return;
        r->close = 1;
    }
    if (RTMP_IsConnected(r)) {
        const int stream_id = r->m_stream_id.exchange(-1);
        if (say_goodbye && stream_id >= 0) SendGoodbye(r, stream_id);
        SocketShutdownAndClose(r);
    }
    ResetSharedState(r);
}

}  // namespace rtmp_engine

using namespace rtmp_engine;

RTMP* RTMP_Alloc() { return new (std::nothrow) RTMP(); }

void RTMP_Free(RTMP* r) {
    if (r == nullptr) return;
    CloseConnection(r, false);
    FreeIncomingBodies(r);
    DestroyLock(r);
    delete r;
}

void RTMP_Init(RTMP* r) {
    CloseConnection(r, false);  // a descriptor left open by a failed set-up is not leaked
    ResetSharedState(r);
    ResetOwnedState(r);
    CreateLock(r);
}

void RTMP_EnableWrite(RTMP* r) { r->Link.protocol |= RTMP_FEATURE_WRITE; }

void RTMP_SetTransport(RTMP* r, RTMPTransport* transport) { r->m_transport = transport; }

int RTMP_IsConnected(RTMP* r) { return r->m_sb.sb_socket != -1; }

int RTMP_IsTimedout(RTMP* r) { return r->m_sb.sb_timedout; }

int RTMP_ConnectOnSocket(RTMP* r, int fd) {
    r->m_sb.sb_socket = fd;
    r->m_bSendCounter = 1;
    if (!HandShake(r)) {
        RTMP_LOGE("%s, handshake failed.", "RTMP_Connect");
        RTMP_Close(r);
        return 0;
    }
    if (!SendConnectPacket(r)) {
        RTMP_LOGE("%s, RTMP connect failed.", "RTMP_Connect");
        RTMP_Close(r);
        return 0;
    }
    return 1;
}

int RTMP_Connect(RTMP* r, RTMPPacket* /*cp*/) {
    if (r->Link.hostname.av_len == 0) return 0;
    if (!SchemeSupported(r) || !SocketConnect(r)) {
        RTMP_Close(r);
        return 0;
    }
    return RTMP_ConnectOnSocket(r, r->m_sb.sb_socket);
}

int RTMP_ConnectStream(RTMP* r, int /*seekTime*/) {
    RTMPPacket packet;
    while (!r->m_bPlaying && RTMP_IsConnected(r) && RTMP_ReadPacket(r, &packet)) {
        if (!RTMPPacket_IsReady(&packet) || packet.m_nBodySize == 0 || IsMediaOrData(packet)) continue;
        HandleSetupMessage(r, &packet);
    }
    RTMPPacket_Free(&packet);
    return r->m_bPlaying;
}

void RTMP_Close(RTMP* r) { CloseConnection(r, true); }
