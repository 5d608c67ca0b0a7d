// RTMP_SendPacket: one message as chunks of at most m_outChunkSize bytes. The chunk headers are
// written into the room in front of the body; continuation headers borrow the body bytes just
// sent and put them back afterwards.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "rtmp/rtmp_sdk/engine/chunk_header.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr int kTableGrowth = 10;
// A closing thread waits this long for a message in progress before giving up its goodbye.
constexpr int kBriefSendWaitMs = 200;

bool TryLockBriefly(std::unique_lock<std::mutex>* lock) {
    for (int waited = 0; !lock->try_lock(); ++waited) {
        if (waited == kBriefSendWaitMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool LookupPrevious(RTMP* r, int id, RTMPChunkStreamOut* previous) {
    ConnectionLock lock(r);
    const size_t index = static_cast<size_t>(id);
    try {
        if (index >= r->m_vecChannelsOut.size()) r->m_vecChannelsOut.resize(index + kTableGrowth);
    } catch (const std::bad_alloc&) {
        RTMP_LOGE("%s, failed to grow the outgoing chunk stream table", __func__);
        std::vector<RTMPChunkStreamOut>().swap(r->m_vecChannelsOut);
        return false;
    }
    *previous = r->m_vecChannelsOut[index];
    return true;
}

void StorePrevious(RTMP* r, int id, const RTMPChunkStreamOut& sent) {
    ConnectionLock lock(r);
    const size_t index = static_cast<size_t>(id);
    if (!r->close && index < r->m_vecChannelsOut.size()) r->m_vecChannelsOut[index] = sent;
}

// RTMP 5.3.1.2: fmt 1 drops the stream id, fmt 2 also length and type, fmt 3 repeats the delta.
// A full header is used when asked for, first on a chunk stream, for another message stream, and
// when time goes backwards (deltas are unsigned).
rtmp_chunk::ChunkHeader CompressHeader(const RTMPPacket* packet, const RTMPChunkStreamOut& previous) {
    rtmp_chunk::ChunkHeader header;
    header.chunk_stream_id = packet->m_nChannel;
    header.message_length = packet->m_nBodySize;
    header.message_type = packet->m_packetType;
    header.message_stream_id = static_cast<uint32_t>(packet->m_nInfoField2);
    header.timestamp = packet->m_nTimeStamp;
    const bool full = packet->m_headerType == RTMP_PACKET_SIZE_LARGE || !previous.valid ||
                      previous.stream_id != packet->m_nInfoField2 || packet->m_nTimeStamp < previous.timestamp;
    if (!full) {
        header.timestamp = packet->m_nTimeStamp - previous.timestamp;
        header.fmt = 1;
        if (previous.body_size == packet->m_nBodySize && previous.type == packet->m_packetType) header.fmt = 2;
        if (header.fmt == 2 && previous.has_delta && previous.delta == header.timestamp) header.fmt = 3;
    }
    header.extended_timestamp = header.timestamp >= rtmp_chunk::kExtendedTimestampMarker;
    return header;
}

bool WriteFirstChunk(RTMP* r, const RTMPPacket* packet, const rtmp_chunk::ChunkHeader& header, uint32_t chunk) {
    const int header_size = rtmp_chunk::EncodedHeaderSize(header);
    if (packet->m_body == nullptr) {
        uint8_t alone[RTMP_MAX_HEADER_SIZE];
        rtmp_chunk::EncodeChunkHeader(header, alone);
        return WriteN(r, reinterpret_cast<char*>(alone), header_size) == header_size;
    }
    char* start = packet->m_body - header_size;
    rtmp_chunk::EncodeChunkHeader(header, reinterpret_cast<uint8_t*>(start));
    const int total = header_size + static_cast<int>(chunk);
    return WriteN(r, start, total) == total;
}

bool WriteContinuation(RTMP* r, char* position, const rtmp_chunk::ChunkHeader& first, uint32_t chunk) {
    rtmp_chunk::ChunkHeader header;
    header.fmt = 3;
    header.chunk_stream_id = first.chunk_stream_id;
    header.timestamp = first.timestamp;
    header.extended_timestamp = first.extended_timestamp;  // RTMP 5.3.1.3: repeated on continuations
    const int header_size = rtmp_chunk::EncodedHeaderSize(header);
    char saved[RTMP_MAX_HEADER_SIZE];
    char* start = position - header_size;
    memcpy(saved, start, static_cast<size_t>(header_size));
    rtmp_chunk::EncodeChunkHeader(header, reinterpret_cast<uint8_t*>(start));
    const int total = header_size + static_cast<int>(chunk);
    const bool written = WriteN(r, start, total) == total;
    memcpy(start, saved, static_cast<size_t>(header_size));
    return written;
}

bool WriteChunks(RTMP* r, const RTMPPacket* packet, const rtmp_chunk::ChunkHeader& header) {
    const uint32_t chunk_size = static_cast<uint32_t>(std::max(1, r->m_outChunkSize));
    uint32_t chunk = std::min(packet->m_nBodySize, chunk_size);
    if (!WriteFirstChunk(r, packet, header, chunk)) return false;
    for (uint32_t offset = chunk; offset < packet->m_nBodySize; offset += chunk) {
        chunk = std::min(packet->m_nBodySize - offset, chunk_size);
        if (!WriteContinuation(r, packet->m_body + offset, header, chunk)) return false;
    }
    return true;
}

// The method name and transaction id at the start of an invoke body.
void RememberInvoke(RTMP* r, const RTMPPacket* packet) {
    AMFObjectProperty name;
    AMFObjectProperty transaction;
    const int size = static_cast<int>(packet->m_nBodySize);
    const int used = AMFProp_Decode(&name, packet->m_body, size, 0);
    if (used < 0 || name.p_type != AMF_STRING) return;
    if (AMFProp_Decode(&transaction, packet->m_body + used, size - used, 0) < 0) return;
    PendingCallAdd(r, name.p_aval, static_cast<int>(AMFProp_GetNumber(&transaction)));
}

bool PacketIsSendable(const RTMPPacket* packet) {
    if (packet->m_headerType > 3) {
        RTMP_LOGE("sanity failed!! trying to send header of type: 0x%02x.", static_cast<unsigned>(packet->m_headerType));
        return false;
    }
    if (packet->m_nChannel < rtmp_chunk::kMinChunkStreamId || packet->m_nChannel > rtmp_chunk::kMaxChunkStreamId) {
        RTMP_LOGE("%s, invalid chunk stream id %d", "RTMP_SendPacket", packet->m_nChannel);
        return false;
    }
    if (packet->m_nBodySize > rtmp_chunk::kMaxMessageLength || (packet->m_nBodySize > 0 && packet->m_body == nullptr)) {
        RTMP_LOGE("%s, invalid body of %u bytes", "RTMP_SendPacket", packet->m_nBodySize);
        return false;
    }
    return true;
}

}  // namespace

int SendPacketLocked(RTMP* r, RTMPPacket* packet, int queue, SendLockWait wait) {
    if (!PacketIsSendable(packet)) return 0;
    std::unique_lock<std::mutex> send_lock(r->m_sendMutex, std::defer_lock);
    if (wait == SendLockWait::kBlock) {
        send_lock.lock();
    } else if (!TryLockBriefly(&send_lock)) {
        return 0;
    }
    RTMPChunkStreamOut previous;
    if (!LookupPrevious(r, packet->m_nChannel, &previous)) return 0;
    const rtmp_chunk::ChunkHeader header = CompressHeader(packet, previous);
    const bool sent = WriteChunks(r, packet, header);
    if (sent) {
        if (queue && packet->m_packetType == RTMP_PACKET_TYPE_INVOKE) RememberInvoke(r, packet);
        StorePrevious(r, packet->m_nChannel,
                      {true, packet->m_nInfoField2, packet->m_nBodySize, packet->m_packetType, packet->m_nTimeStamp,
                       header.timestamp, header.fmt != 0});
    }
    send_lock.unlock();
    if (!sent) CloseConnection(r, false);  // outside the send lock: closing never waits on itself
    return sent ? 1 : 0;
}

}  // namespace rtmp_engine

int RTMP_SendPacket(RTMP* r, RTMPPacket* packet, int queue) {
    return rtmp_engine::SendPacketLocked(r, packet, queue, rtmp_engine::SendLockWait::kBlock);
}
