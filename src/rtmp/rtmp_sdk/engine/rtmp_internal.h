// Operations shared by the engine's own files; not part of its interface.
#pragma once

#include <string>

#include "rtmp/rtmp_sdk/engine/rtmp.h"

namespace rtmp_engine {

// Holds the connection lock for a scope; a state whose lock could not be created runs without one.
class ConnectionLock {
public:
    explicit ConnectionLock(RTMP* r);
    ~ConnectionLock();
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    pthread_mutex_t* mutex_;
};
void CreateLock(RTMP* r);
void DestroyLock(RTMP* r);

// Descriptors: a call on the socket runs between Acquire (the descriptor, or -1 when closed) and
// Release, so that a close from another thread never frees the descriptor under it.
RTMPTransport* Transport(RTMP* r);
int SocketAcquire(RTMP* r);
void SocketRelease(RTMP* r);
// Shuts the socket down for both directions (waking blocked calls) and closes it.
void SocketShutdownAndClose(RTMP* r);
// TCP connection to the link's host and port with the socket options; 1 or 0.
int SocketConnect(RTMP* r);

// Reads exactly n bytes through the receive cache, sending acknowledgements as they fall due;
// n, or 0 on failure (time-out flag set, or connection closed).
int ReadN(RTMP* r, char* buffer, int n);
// Writes all n bytes; n, or -1 after a failure (the caller closes the connection).
int WriteN(RTMP* r, const char* buffer, int n);

// Closes once; the goodbye commands are sent only when the connection still works.
void CloseConnection(RTMP* r, bool say_goodbye);

enum class SendLockWait { kBlock, kBriefly };
int SendPacketLocked(RTMP* r, RTMPPacket* packet, int queue, SendLockWait wait);

int HandShake(RTMP* r);

// Commands of the connection sequence; 1 when sent.
int SendConnectPacket(RTMP* r);
int SendAfterConnect(RTMP* r);
int SendAfterCreateStream(RTMP* r);
int SendGoodbye(RTMP* r, int stream_id);
int SendInvoke(RTMP* r, const char* name, int transaction_id, const AVal* argument, int queue);
int SendCheckBW(RTMP* r);
int SendCheckBWResult(RTMP* r, double transaction_id);
int SendPong(RTMP* r, double transaction_id);
int SendPingResponse(RTMP* r, uint32_t timestamp);
int SendAcknowledgement(RTMP* r);

// Pending calls: queued invokes waiting for their _result.
void PendingCallAdd(RTMP* r, const AVal& name, int transaction_id);
// Removes the call with this transaction id; its name, or empty when there was none.
std::string PendingCallTake(RTMP* r, int transaction_id);
void PendingCallDrop(RTMP* r, const char* name);

// Acts on one complete message read during set-up.
void HandleSetupMessage(RTMP* r, RTMPPacket* packet);

}  // namespace rtmp_engine
