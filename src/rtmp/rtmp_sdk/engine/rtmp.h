// Client side of RTMP 1.0 for one publishing connection: handshake, chunk streams in both
// directions, protocol control and user control messages, the AMF0 command sequence.
//
// Threads: one reader (RTMP_ReadPacket), one sender (RTMP_SendPacket) and any thread closing
// (RTMP_Close) may use one state at the same time. Everything else (Init, SetupURL, Connect,
// ConnectStream, Free) runs while no other thread uses the state.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "rtmp/rtmp_sdk/engine/amf.h"

#define RTMP_DEFAULT_CHUNKSIZE 128
#define RTMP_PUBLISH_CHUNKSIZE 60000
#define RTMP_BUFFER_CACHE_SIZE 16384
// Room a sender leaves in front of every body: the largest chunk header (3-byte basic header,
// 11-byte message header, 4-byte extended timestamp).
#define RTMP_MAX_HEADER_SIZE 18

// Scheme bits of RTMP_LNK::protocol.
#define RTMP_FEATURE_HTTP 0x01
#define RTMP_FEATURE_ENC 0x02
#define RTMP_FEATURE_SSL 0x04
#define RTMP_FEATURE_MFP 0x08
#define RTMP_FEATURE_WRITE 0x10  // publishing, set by RTMP_EnableWrite

#define RTMP_PROTOCOL_RTMP 0
#define RTMP_PROTOCOL_RTMPE RTMP_FEATURE_ENC
#define RTMP_PROTOCOL_RTMPT RTMP_FEATURE_HTTP
#define RTMP_PROTOCOL_RTMPS RTMP_FEATURE_SSL
#define RTMP_PROTOCOL_RTMPTE (RTMP_FEATURE_HTTP | RTMP_FEATURE_ENC)
#define RTMP_PROTOCOL_RTMPTS (RTMP_FEATURE_HTTP | RTMP_FEATURE_SSL)
#define RTMP_PROTOCOL_RTMFP RTMP_FEATURE_MFP

// Message type ids (RTMP 5.4, 7.1).
#define RTMP_PACKET_TYPE_CHUNK_SIZE 0x01
#define RTMP_PACKET_TYPE_ABORT 0x02
#define RTMP_PACKET_TYPE_BYTES_READ_REPORT 0x03
#define RTMP_PACKET_TYPE_CONTROL 0x04
#define RTMP_PACKET_TYPE_SERVER_BW 0x05
#define RTMP_PACKET_TYPE_CLIENT_BW 0x06
#define RTMP_PACKET_TYPE_AUDIO 0x08
#define RTMP_PACKET_TYPE_VIDEO 0x09
#define RTMP_PACKET_TYPE_FLEX_STREAM_SEND 0x0F
#define RTMP_PACKET_TYPE_FLEX_SHARED_OBJECT 0x10
#define RTMP_PACKET_TYPE_FLEX_MESSAGE 0x11
#define RTMP_PACKET_TYPE_INFO 0x12
#define RTMP_PACKET_TYPE_SHARED_OBJECT 0x13
#define RTMP_PACKET_TYPE_INVOKE 0x14
#define RTMP_PACKET_TYPE_FLASH_VIDEO 0x16

// Chunk header types (RTMP 5.3.1.2): fmt 0..3.
#define RTMP_PACKET_SIZE_LARGE 0
#define RTMP_PACKET_SIZE_MEDIUM 1
#define RTMP_PACKET_SIZE_SMALL 2
#define RTMP_PACKET_SIZE_MINIMUM 3

// One message. m_body points RTMP_MAX_HEADER_SIZE bytes into its allocation; a sender that builds
// its own body must leave that room in front too, the chunk headers are written there.
struct RTMPPacket {
    uint8_t m_headerType = 0;
    uint8_t m_packetType = 0;
    uint8_t m_hasAbsTimestamp = 0;
    int m_nChannel = 0;
    uint32_t m_nTimeStamp = 0;
    int32_t m_nInfoField2 = 0;
    uint32_t m_nBodySize = 0;
    uint32_t m_nBytesRead = 0;
    char* m_body = nullptr;
    uint32_t m_nBodyAlloc = 0;       // bytes allocated behind m_body (engine-allocated bodies only)
    uint8_t m_useExtTimestamp = 0;  // the last header carried an extended timestamp
};

#define RTMPPacket_IsReady(p) ((p)->m_nBytesRead == (p)->m_nBodySize)

// Allocates a body of nSize bytes with the header room in front; 1, or 0 when out of memory.
int RTMPPacket_Alloc(RTMPPacket* p, uint32_t nSize);
// Frees an engine-allocated body and clears the message.
void RTMPPacket_Free(RTMPPacket* p);
void RTMPPacket_Reset(RTMPPacket* p);

// Parameters parsed from the URL. AVal fields point into the caller's URL buffer unless noted.
struct RTMP_LNK {
    AVal hostname;
    AVal playpath0;  // as written in the URL
    AVal playpath;   // decoded; points into playpath_storage when the engine built it
    AVal tcUrl;
    AVal swfUrl;
    AVal pageUrl;
    AVal app;
    AVal auth;
    AVal flashVer;
    int swfAge = 30;
    int protocol = RTMP_PROTOCOL_RTMP;
    int timeout = 30;  // seconds without data before a read fails
    unsigned short port = 0;  // 0: the scheme's default
    std::string playpath_storage;
};

// Descriptor and receive cache. sb_socket is -1 when closed.
struct RTMPSockBuf {
    std::atomic<int> sb_socket{-1};
    int sb_size = 0;  // unread bytes in the cache
    char* sb_start = nullptr;
    char sb_buf[RTMP_BUFFER_CACHE_SIZE] = {};
    int sb_timedout = 0;
    // A closed descriptor stays open while a reader or sender is still inside a call on it, so its
    // number cannot be reused under them; the last one out closes it.
    int sb_users = 0;
    int sb_pendingClose = -1;
};

// A command sent with the queue flag whose _result has not arrived.
struct RTMP_METHOD {
    std::string name;
    int num = 0;
};

// What the next header on an outgoing chunk stream is compressed against.
struct RTMPChunkStreamOut {
    bool valid = false;
    int32_t stream_id = 0;
    uint32_t body_size = 0;
    uint8_t type = 0;
    uint32_t timestamp = 0;  // absolute
    uint32_t delta = 0;
    bool has_delta = false;  // the last header carried a delta, which a type 3 header may repeat
};

// Byte transport under a connection. The default is the POSIX socket; tests and fuzzers install
// their own. Results as recv(2)/send(2): bytes, 0 for end of stream, -1 with errno set (EAGAIN or
// EWOULDBLOCK: time-out, EINTR: retry).
class RTMPTransport {
public:
    virtual ~RTMPTransport() = default;
    virtual ssize_t Recv(int fd, char* buf, size_t len) = 0;
    virtual ssize_t Send(int fd, const char* buf, size_t len) = 0;
    virtual void Shutdown(int fd) = 0;
    virtual void Close(int fd) = 0;
};

struct RTMP {
    int m_inChunkSize = RTMP_DEFAULT_CHUNKSIZE;
    int m_outChunkSize = RTMP_DEFAULT_CHUNKSIZE;
    int m_nBWCheckCounter = 0;
    int m_nBytesIn = 0;
    int m_nBytesInSent = 0;
    int m_nBufferMS = 30000;
    std::atomic<int> m_stream_id{-1};
    int m_nServerBW = 2500000;
    int m_nClientBW = 2500000;
    uint8_t m_nClientBW2 = 2;
    std::atomic<uint8_t> m_bPlaying{0};
    std::atomic<uint8_t> m_bOvPlayStart{0};
    std::atomic<uint8_t> m_bOvTalkReady{0};
    std::atomic<uint8_t> m_bSendCounter{0};
    std::atomic<int> m_numInvokes{0};
    std::vector<RTMP_METHOD> m_methodCalls;  // guarded by m_mutux
    std::vector<RTMPPacket> m_vecChannelsIn;   // guarded by m_mutux; may hold partial bodies
    std::vector<RTMPChunkStreamOut> m_vecChannelsOut;  // guarded by m_mutux
    std::vector<uint32_t> m_channelTimestamp;  // guarded by m_mutux
    double m_fAudioCodecs = 3191.0;
    double m_fVideoCodecs = 252.0;
    double m_fEncoding = 0;
    RTMPSockBuf m_sb;
    RTMP_LNK Link;
    int close = 0;                       // guarded by m_mutux
    pthread_mutex_t* m_mutux = nullptr;  // null when it could not be created
    std::mutex m_sendMutex;              // one whole message on the wire at a time
    RTMPTransport* m_transport = nullptr;  // not owned; the POSIX socket when null
};

RTMP* RTMP_Alloc();
void RTMP_Free(RTMP* r);
void RTMP_Init(RTMP* r);
// Parses url in place: options after the first blank are cut off (the blank becomes a terminator)
// and applied. 1, or 0 when it is not an RTMP URL. url must outlive the connection.
int RTMP_SetupURL(RTMP* r, char* url);
void RTMP_EnableWrite(RTMP* r);
// TCP connect, socket options, handshake, connect command. cp (a pre-resolved address) is unused.
int RTMP_Connect(RTMP* r, RTMPPacket* cp);
// Runs the set-up message loop until the stream is established; returns m_bPlaying.
int RTMP_ConnectStream(RTMP* r, int seekTime);
int RTMP_IsConnected(RTMP* r);
int RTMP_IsTimedout(RTMP* r);
void RTMP_Close(RTMP* r);
// Reads one chunk into packet, first freeing the body packet holds from an earlier call; 1 (the
// message may still be incomplete: see RTMPPacket_IsReady), 0 on error. A complete message's body
// belongs to the caller (RTMPPacket_Free).
int RTMP_ReadPacket(RTMP* r, RTMPPacket* packet);
// Sends one message; with queue set an invoke is remembered until its _result.
int RTMP_SendPacket(RTMP* r, RTMPPacket* packet, int queue);

// Installs a transport (not owned) for the descriptors of r; null restores the POSIX socket.
void RTMP_SetTransport(RTMP* r, RTMPTransport* transport);
// Handshake and connect command over a descriptor that is already connected.
int RTMP_ConnectOnSocket(RTMP* r, int fd);
