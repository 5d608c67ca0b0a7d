/* The cloud device SDK's HTTP/1.1 client over TLS, for uploads, downloads and registration.
 * A long body can be read in pieces: while body_pending is set the connection stays open and the next
 * httpclient_common (or httpclient_recv_response) call delivers the next piece. */
#ifndef TESSERA_HTTPCLIENT_H
#define TESSERA_HTTPCLIENT_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    HTTPCLIENT_GET = 0,
    HTTPCLIENT_POST = 1,
    HTTPCLIENT_PUT = 2,
    HTTPCLIENT_DELETE = 3,
    HTTPCLIENT_HEAD = 4
};

/* Result codes besides 0. */
#define HTTPCLIENT_ERROR (-1)          /* no transport, "invalid path", nothing arrived, dead loop */
#define HTTPCLIENT_CLOSED_WRITING (-3) /* the server closed the connection while the request was written */
#define HTTPCLIENT_NO_LENGTH (-4)      /* no length header; chunk size line too long */
#define HTTPCLIENT_BAD_FRAMING (-6)    /* no status line end; malformed status line or chunk framing */
#define HTTPCLIENT_TOO_LONG (-7)       /* URL too long or without host; header block over 1023 bytes */
#define HTTPCLIENT_CONNECTION (-8)     /* not connected, connect failed, connection closed or broken */
#define HTTPCLIENT_NO_MEMORY (-1013)   /* working memory not available */

/* The transport. read returns the bytes read (> 0), 0 when nothing arrived in time, -2 when the peer has
 * closed and -1 on error; write returns the bytes written or a negative error. A caller may install its
 * own operations before the first exchange; otherwise the TLS ones of the platform layer are used. */
typedef struct tessera_net_rec {
    char host[128];
    uint16_t port;
    const char* ca_crt; /* PEM; without it the TLS operations fail ("no method match!") */
    uint32_t ca_crt_len;
    uintptr_t handle; /* 0 while not connected */
    int (*read)(struct tessera_net_rec* net, char* buffer, uint32_t len, uint32_t timeout_ms);
    int (*write)(struct tessera_net_rec* net, const char* buffer, uint32_t len, uint32_t timeout_ms);
    int (*disconnect)(struct tessera_net_rec* net);
    int (*connect)(struct tessera_net_rec* net);
} tessera_net_rec;

/* One exchange or download; zeroed by the caller before first use. */
typedef struct {
    tessera_net_rec conn;
    int status_code;
    const char* extra_headers; /* header lines, each ending "\r\n", sent after the Host line */
    const char* basic_user;    /* when set, "Authorization: Basic" is sent */
    const char* basic_password;
} http_conn_rec;

#define HTTPCLIENT_HELD_MAX 1024

typedef struct {
    bool body_pending;
    bool chunked;
    int bytes_due;   /* still to read of the current chunk or of the body */
    int body_length; /* Content-Length, the chunk sizes so far, or -1 when unknown */
    int post_len;
    int reply_capacity;
    const char* request_content_type;
    const char* post_buf; /* NULL: no body and no Content-Length */
    char* reply_buf;      /* receives the body, always NUL-terminated */
    int reply_len;        /* bytes the last call placed in reply_buf (a body may hold NUL bytes) */
    /* The client's own: bytes read from the connection that did not fit the reply buffer yet. */
    int held_len;
    char held[HTTPCLIENT_HELD_MAX];
} http_exchange_rec;

/* The whole exchange: connects (unless a body is pending), sends the request and reads the response or
 * its next piece. A port written in the URL wins over port. 0 on success, also while body_pending is set;
 * a negative code on failure, after which the connection is closed. */
int httpclient_common(http_conn_rec* ctx, const char* url, int port, const char* ca_crt, int method,
                      uint32_t timeout_ms, http_exchange_rec* data);
int httpclient_send_request(http_conn_rec* ctx, const char* url, int method, http_exchange_rec* data);
/* 0 when the body is complete, 1 when the reply buffer filled first, or a negative code. */
int httpclient_recv_response(http_conn_rec* ctx, uint32_t timeout_ms, http_exchange_rec* data);
void httpclient_close(http_conn_rec* ctx);

#ifdef __cplusplus
}
#endif

#endif
