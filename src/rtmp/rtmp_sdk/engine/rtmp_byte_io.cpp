#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

uint32_t WallClockMs() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_usec) / 1000);
}

// One receive call into the empty cache. A time-out leaves the connection open; end of stream
// and errors close it.
bool FillCache(RTMP* r) {
    const int fd = SocketAcquire(r);
    if (fd < 0) return false;
    ssize_t got = 0;
    do {
        got = Transport(r)->Recv(fd, r->m_sb.sb_buf, sizeof r->m_sb.sb_buf);
    } while (got < 0 && errno == EINTR);
    const int error = errno;
    SocketRelease(r);
    if (got > 0) {
        r->m_sb.sb_start = r->m_sb.sb_buf;
        r->m_sb.sb_size = static_cast<int>(got);
        return true;
    }
    if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK)) {
        r->m_sb.sb_timedout = 1;
        RTMP_LOGD("%s, receive timed out", __func__);
        return false;
    }
    RTMP_LOGD("%s, connection ended (%d)", __func__, got < 0 ? error : 0);
    CloseConnection(r, false);
    return false;
}

// The counters wrap like the acknowledgement's 32-bit sequence number (RTMP 5.4.3).
void CountBytesIn(RTMP* r, int n) {
    r->m_nBytesIn = static_cast<int>(static_cast<uint32_t>(r->m_nBytesIn) + static_cast<uint32_t>(n));
}

bool AcknowledgementDue(const RTMP* r) {
    const uint32_t unacknowledged = static_cast<uint32_t>(r->m_nBytesIn) - static_cast<uint32_t>(r->m_nBytesInSent);
    return r->m_bSendCounter && unacknowledged > static_cast<uint32_t>(r->m_nClientBW / 10);
}

}  // namespace

int ReadN(RTMP* r, char* buffer, int n) {
    int remaining = n;
    while (remaining > 0) {
        if (r->m_sb.sb_size == 0 && !FillCache(r)) return 0;
        const int take = std::min(remaining, r->m_sb.sb_size);
        memcpy(buffer, r->m_sb.sb_start, static_cast<size_t>(take));
        r->m_sb.sb_start += take;
        r->m_sb.sb_size -= take;
        buffer += take;
        remaining -= take;
        CountBytesIn(r, take);
        if (AcknowledgementDue(r) && !SendAcknowledgement(r)) return 0;
    }
    return n;
}

int WriteN(RTMP* r, const char* buffer, int n) {
    const int fd = SocketAcquire(r);
    if (fd < 0) return -1;
    const uint32_t start_ms = WallClockMs();
    int left = n;
    int error = 0;
    while (left > 0) {
        const ssize_t sent = Transport(r)->Send(fd, buffer, static_cast<size_t>(left));
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) {
            error = sent < 0 ? errno : 0;
            break;
        }
        buffer += sent;
        left -= static_cast<int>(sent);
    }
    SocketRelease(r);
    if (left > 0) {
        RTMP_LOGE("RTMP send error, error = %d, byte left = %d, time start = %u, time stop = %u", error, left,
                  start_ms, WallClockMs());
        return -1;
    }
    return n;
}

}  // namespace rtmp_engine
