// The socket side of a TLS connection: mbedtls transport callbacks over a connected TCP socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessera {

// ctx points to the socket's int. Sends never raise SIGPIPE; a closed peer is an error code.
int TlsSocketSend(void* ctx, const unsigned char* buf, size_t len);
// Waits up to timeout_ms (0: for ever) for data: a count, 0 at end of stream, or an mbedtls error code.
int TlsSocketRecvTimeout(void* ctx, unsigned char* buf, size_t len, uint32_t timeout_ms);

}  // namespace tessera
