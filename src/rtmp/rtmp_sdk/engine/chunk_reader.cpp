// RTMP_ReadPacket: one chunk per call (RTMP 5.3.1). The chunk stream table lives under the
// connection lock; a message being assembled is taken out of it while its chunk is read, so a
// close from another thread never frees a body under the reader.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "rtmp/rtmp_sdk/engine/chunk_header.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr int kTableGrowth = 10;

bool TakeChannel(RTMP* r, int id, RTMPPacket* entry) {
    ConnectionLock lock(r);
    const size_t index = static_cast<size_t>(id);
    try {
        if (index >= r->m_vecChannelsIn.size()) {
            r->m_vecChannelsIn.resize(index + kTableGrowth);
            r->m_channelTimestamp.resize(index + kTableGrowth, 0);
        }
    } catch (const std::bad_alloc&) {
        RTMP_LOGE("%s, failed to grow the incoming chunk stream table", __func__);
        return false;
    }
    *entry = r->m_vecChannelsIn[index];
    r->m_vecChannelsIn[index].m_body = nullptr;  // ownership moves to the reader
    return true;
}

// Stores the chunk stream's state back; a message is complete when its timestamp is made absolute.
void PutChannel(RTMP* r, int id, RTMPPacket* entry, bool completed, uint32_t* absolute) {
    ConnectionLock lock(r);
    const size_t index = static_cast<size_t>(id);
    if (r->close || index >= r->m_vecChannelsIn.size()) {
        RTMPPacket_Free(entry);  // closed meanwhile: the table was torn down
        return;
    }
    if (completed) {
        uint32_t& last = r->m_channelTimestamp[index];
        last = entry->m_hasAbsTimestamp ? entry->m_nTimeStamp : last + entry->m_nTimeStamp;
        *absolute = last;
    }
    r->m_vecChannelsIn[index] = *entry;
}

bool ReadBasicHeader(RTMP* r, int* fmt, int* id) {
    uint8_t basic[3] = {};
    if (ReadN(r, reinterpret_cast<char*>(basic), 1) != 1) {
        RTMP_LOGD("%s, failed to read RTMP packet header", __func__);
        return false;
    }
    const int size = rtmp_chunk::BasicHeaderSizeFromFirstByte(basic[0]);
    if (size >= 2 && ReadN(r, reinterpret_cast<char*>(basic + 1), 1) != 1) {
        RTMP_LOGE("%s, failed to read RTMP packet header 2nd byte", "RTMP_ReadPacket");
        return false;
    }
    if (size == 3 && ReadN(r, reinterpret_cast<char*>(basic + 2), 1) != 1) {
        RTMP_LOGE("%s, failed to read RTMP packet header 3nd byte", "RTMP_ReadPacket");
        return false;
    }
    rtmp_chunk::DecodeBasicHeader(basic, fmt, id);
    return true;
}

// Reads the message header and merges it into the chunk stream's last header (RTMP 5.3.1.2).
bool ReadMessageHeader(RTMP* r, int fmt, RTMPPacket* entry) {
    uint8_t bytes[11] = {};
    const int size = rtmp_chunk::MessageHeaderSize(fmt);
    if (size > 0 && ReadN(r, reinterpret_cast<char*>(bytes), size) != size) {
        RTMP_LOGE("%s, failed to read RTMP packet header. type: %x", "RTMP_ReadPacket", static_cast<unsigned>(fmt));
        return false;
    }
    rtmp_chunk::ChunkHeader header;
    header.timestamp = entry->m_nTimeStamp;
    header.message_length = entry->m_nBodySize;
    header.message_type = entry->m_packetType;
    header.message_stream_id = static_cast<uint32_t>(entry->m_nInfoField2);
    header.extended_timestamp = entry->m_useExtTimestamp != 0;
    rtmp_chunk::DecodeMessageHeader(bytes, fmt, &header);
    if (header.extended_timestamp) {
        char ext[4];
        if (ReadN(r, ext, 4) != 4) {
            RTMP_LOGE("%s, failed to read extended timestamp", "RTMP_ReadPacket");
            return false;
        }
        header.timestamp = static_cast<uint32_t>(static_cast<uint8_t>(ext[0])) << 24 |
                           static_cast<uint32_t>(static_cast<uint8_t>(ext[1])) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(ext[2])) << 8 | static_cast<uint8_t>(ext[3]);
    }
    const bool continuing = fmt == 3 && entry->m_nBytesRead > 0;
    if (!continuing) {
        // A new message; a fmt 3 chunk repeats the previous header including its timestamp field.
        entry->m_nTimeStamp = header.timestamp;
        if (fmt == 0) entry->m_hasAbsTimestamp = 1;
        if (fmt == 1 || fmt == 2) entry->m_hasAbsTimestamp = 0;
    }
    entry->m_headerType = static_cast<uint8_t>(fmt);
    entry->m_nBodySize = header.message_length;
    entry->m_packetType = header.message_type;
    entry->m_nInfoField2 = static_cast<int32_t>(header.message_stream_id);
    entry->m_useExtTimestamp = header.extended_timestamp ? 1 : 0;
    return true;
}

// Grows the body with what has arrived (at most twice that), never with the declared length alone.
bool ReserveBody(RTMPPacket* entry, uint32_t needed) {
    if (needed <= entry->m_nBodyAlloc && entry->m_body != nullptr) return true;
    const uint32_t doubled = entry->m_nBodyAlloc * 2;
    const uint32_t capacity = std::min(entry->m_nBodySize, std::max(needed, doubled));
    char* base = entry->m_body != nullptr ? entry->m_body - RTMP_MAX_HEADER_SIZE : nullptr;
    auto* grown = static_cast<char*>(realloc(base, static_cast<size_t>(capacity) + RTMP_MAX_HEADER_SIZE));
    if (grown == nullptr) return false;
    entry->m_body = grown + RTMP_MAX_HEADER_SIZE;
    entry->m_nBodyAlloc = capacity;
    return true;
}

bool ReadChunkBody(RTMP* r, RTMPPacket* entry) {
    if (entry->m_headerType != 3 || entry->m_nBytesRead == 0) {
        if (entry->m_nBytesRead > 0) RTMP_LOGD("%s, message on chunk stream dropped unfinished", __func__);
        RTMPPacket_Free(entry);  // a new message starts
    }
    const uint32_t left = entry->m_nBodySize - entry->m_nBytesRead;
    const uint32_t chunk = std::min(left, static_cast<uint32_t>(r->m_inChunkSize));
    if (chunk == 0) return true;
    if (!ReserveBody(entry, entry->m_nBytesRead + chunk) ||
        ReadN(r, entry->m_body + entry->m_nBytesRead, static_cast<int>(chunk)) != static_cast<int>(chunk)) {
        RTMP_LOGE("%s, failed to read RTMP packet body. len: %u", "RTMP_ReadPacket", entry->m_nBodySize);
        RTMPPacket_Free(entry);
        return false;
    }
    entry->m_nBytesRead += chunk;
    return true;
}

}  // namespace
}  // namespace rtmp_engine

using namespace rtmp_engine;

int RTMP_ReadPacket(RTMP* r, RTMPPacket* packet) {
    RTMPPacket_Free(packet);
    int fmt = 0;
    int id = 0;
    if (!RTMP_IsConnected(r) || !ReadBasicHeader(r, &fmt, &id)) return 0;
    RTMPPacket entry;
    if (!TakeChannel(r, id, &entry)) return 0;
    if (!ReadMessageHeader(r, fmt, &entry) || !ReadChunkBody(r, &entry)) {
        PutChannel(r, id, &entry, false, nullptr);
        return 0;
    }
    entry.m_nChannel = id;
    *packet = entry;
    const bool completed = entry.m_nBytesRead == entry.m_nBodySize;
    uint32_t absolute = 0;
    if (completed) {
        entry.m_body = nullptr;  // the caller owns the complete body
        entry.m_nBodyAlloc = 0;
        entry.m_nBytesRead = 0;
    } else {
        packet->m_body = nullptr;  // the table keeps the partial body
        packet->m_nBodyAlloc = 0;
    }
    PutChannel(r, id, &entry, completed, &absolute);
    if (completed) packet->m_nTimeStamp = absolute;
    return 1;
}
