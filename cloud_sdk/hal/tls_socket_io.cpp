#include "hal/tls_socket_io.h"

#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace tessera {

int TlsSocketSend(void* ctx, const unsigned char* buf, size_t len) {
    int fd = *static_cast<int*>(ctx);
    ssize_t sent = send(fd, buf, len, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return MBEDTLS_ERR_SSL_WANT_WRITE;
    if (errno == EPIPE || errno == ECONNRESET) return MBEDTLS_ERR_NET_CONN_RESET;
    return MBEDTLS_ERR_NET_SEND_FAILED;
}

int TlsSocketRecvTimeout(void* ctx, unsigned char* buf, size_t len, uint32_t timeout_ms) {
    int fd = *static_cast<int*>(ctx);
    pollfd wait{fd, POLLIN, 0};
    int ready = poll(&wait, 1, timeout_ms == 0 ? -1 : static_cast<int>(timeout_ms));
    if (ready == 0) return MBEDTLS_ERR_SSL_TIMEOUT;
    if (ready < 0) return errno == EINTR ? MBEDTLS_ERR_SSL_WANT_READ : MBEDTLS_ERR_NET_RECV_FAILED;
    ssize_t got = recv(fd, buf, len, 0);
    if (got >= 0) return static_cast<int>(got);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return MBEDTLS_ERR_SSL_WANT_READ;
    if (errno == ECONNRESET) return MBEDTLS_ERR_NET_CONN_RESET;
    return MBEDTLS_ERR_NET_RECV_FAILED;
}

}  // namespace tessera
