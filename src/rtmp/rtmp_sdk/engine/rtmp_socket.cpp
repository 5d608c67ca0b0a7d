#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr int kSendBufferBytes = 262144;
constexpr int kSendTimeoutSeconds = 5;
constexpr int kDefaultPort = 1935;

class PosixTransport final : public RTMPTransport {
public:
    ssize_t Recv(int fd, char* buf, size_t len) override { return recv(fd, buf, len, 0); }
    // MSG_NOSIGNAL: a peer that went away is an error result, not a SIGPIPE for the process.
    ssize_t Send(int fd, const char* buf, size_t len) override { return send(fd, buf, len, MSG_NOSIGNAL); }
    void Shutdown(int fd) override { shutdown(fd, SHUT_RDWR); }
    void Close(int fd) override { ::close(fd); }
};

PosixTransport g_posix_transport;

bool ResolveIPv4(const std::string& host, in_addr* address) {
    if (inet_aton(host.c_str(), address) != 0) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        RTMP_LOGE("Problem accessing the DNS. (addr: %s)", host.c_str());
        return false;
    }
    *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

void SetSocketOptions(int fd, int receive_timeout_s) {
    timeval receive_timeout{receive_timeout_s, 0};
    timeval send_timeout{kSendTimeoutSeconds, 0};
    const int send_buffer = kSendBufferBytes;
    const int no_delay = 1;
    const int r1 = setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receive_timeout, sizeof receive_timeout);
    const int r2 = setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
    const int r3 = setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
    const int r4 = setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
    if (r1 != 0 || r2 != 0 || r3 != 0 || r4 != 0) {
        RTMP_LOGE("%s, Setting socket option failed!,ret = %d %d %d %d %d", "RTMP_Connect", r1, r2, r3, r4, errno);
    }
}

}  // namespace

RTMPTransport* Transport(RTMP* r) { return r->m_transport != nullptr ? r->m_transport : &g_posix_transport; }

int SocketAcquire(RTMP* r) {
    ConnectionLock lock(r);
    const int fd = r->m_sb.sb_socket;
    if (fd >= 0) ++r->m_sb.sb_users;
    return fd;
}

void SocketRelease(RTMP* r) {
    int to_close = -1;
    {
        ConnectionLock lock(r);
        if (--r->m_sb.sb_users == 0) std::swap(to_close, r->m_sb.sb_pendingClose);
    }
    if (to_close >= 0) Transport(r)->Close(to_close);
}

void SocketShutdownAndClose(RTMP* r) {
    int to_close = -1;
    {
        ConnectionLock lock(r);
        const int fd = r->m_sb.sb_socket.exchange(-1);
        if (fd < 0) return;
        Transport(r)->Shutdown(fd);  // wakes a reader or sender blocked on it
        if (r->m_sb.sb_users == 0) {
            to_close = fd;
        } else {
            r->m_sb.sb_pendingClose = fd;
        }
    }
    if (to_close >= 0) Transport(r)->Close(to_close);
}

int SocketConnect(RTMP* r) {
    const std::string host(r->Link.hostname.av_val, static_cast<size_t>(r->Link.hostname.av_len));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(r->Link.port != 0 ? r->Link.port : kDefaultPort);
    if (!ResolveIPv4(host, &address.sin_addr)) return 0;
    const int fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0) {
        RTMP_LOGE("%s, failed to create socket. Error: %d", "RTMP_Connect", errno);
        return 0;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        const int error = errno;
        RTMP_LOGE("%s, failed to connect socket. %d (%s)", "RTMP_Connect", error, strerror(error));
        ::close(fd);
        return 0;
    }
    SetSocketOptions(fd, r->Link.timeout);
    r->m_sb.sb_socket = fd;
    return 1;
}

}  // namespace rtmp_engine
