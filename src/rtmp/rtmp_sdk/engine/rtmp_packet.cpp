#include <cstdlib>

#include "rtmp/rtmp_sdk/engine/rtmp.h"

int RTMPPacket_Alloc(RTMPPacket* p, uint32_t nSize) {
    if (nSize > 0xFFFFFF) return 0;  // RTMP message lengths are 24 bits
    auto* block = static_cast<char*>(calloc(1, static_cast<size_t>(nSize) + RTMP_MAX_HEADER_SIZE));
    if (block == nullptr) return 0;
    p->m_body = block + RTMP_MAX_HEADER_SIZE;
    p->m_nBodyAlloc = nSize;
    p->m_nBytesRead = 0;
    return 1;
}

void RTMPPacket_Free(RTMPPacket* p) {
    if (p->m_body != nullptr) free(p->m_body - RTMP_MAX_HEADER_SIZE);
    p->m_body = nullptr;
    p->m_nBodyAlloc = 0;
    p->m_nBytesRead = 0;
}

void RTMPPacket_Reset(RTMPPacket* p) {
    p->m_headerType = 0;
    p->m_packetType = 0;
    p->m_nChannel = 0;
    p->m_nTimeStamp = 0;
    p->m_nInfoField2 = 0;
    p->m_hasAbsTimestamp = 0;
    p->m_nBodySize = 0;
    p->m_nBytesRead = 0;
    p->m_useExtTimestamp = 0;
}
