// One exchange: connect when needed, send, read the response or its next piece, close when done.
#include <cstring>

#include "infra/http/http_transport.h"
#include "infra/http/http_url.h"
#include "infra/utils/sdk_log.h"
#include "tessera_httpclient.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "httpc";

bool HasAllOperations(const tessera_net_rec& net) {
    return net.connect != nullptr && net.read != nullptr && net.write != nullptr && net.disconnect != nullptr;
}

int Connect(http_conn_rec* ctx, const HttpUrl& url, const char* ca_crt) {
    tessera_net_rec& net = ctx->conn;
    memcpy(net.host, url.host.c_str(), url.host.size() + 1);  // the URL parser bounds it to the buffer
    net.port = static_cast<uint16_t>(url.port);
    net.ca_crt = ca_crt;
    net.ca_crt_len = ca_crt != nullptr ? static_cast<uint32_t>(strlen(ca_crt) + 1) : 0;
    InstallTlsTransport(&net);
    if (!HasAllOperations(net)) {
        SDK_ERR(kModule, "no method match!");
        return HTTPCLIENT_ERROR;
    }
    if (net.connect(&net) != 0 || net.handle == 0) {
        SDK_ERR(kModule, "establish connection failed");
        return HTTPCLIENT_CONNECTION;
    }
    return 0;
}

// A new connection starts a new response: nothing of an earlier, broken one may be continued.
void StartExchange(http_exchange_rec* data) {
    data->body_pending = false;
    data->held_len = 0;
}

int Open(http_conn_rec* ctx, const char* url, const HttpUrl& parsed, const char* ca_crt, int method,
         http_exchange_rec* data) {
    StartExchange(data);
    int ret = Connect(ctx, parsed, ca_crt);
    if (ret != 0) {
        SDK_ERR(kModule, "httpclient_connect is error, ret = %d", ret);
        return ret;
    }
    ret = httpclient_send_request(ctx, url, method, data);
    if (ret != 0) SDK_ERR(kModule, "httpclient_send_request is error, ret = %d", ret);
    return ret;
}

}  // namespace
}  // namespace tessera

extern "C" int httpclient_common(http_conn_rec* ctx, const char* url, int port, const char* ca_crt, int method,
                                 uint32_t timeout_ms, http_exchange_rec* data) {
    if (ctx == nullptr || url == nullptr || data == nullptr) return HTTPCLIENT_ERROR;
    tessera::HttpUrl parsed;
    int ret = tessera::ParseHttpUrl(url, port, &parsed);
    if (ret != 0) {
        SDK_ERR(tessera::kModule, "httpclient_parse_url fail returned %d", ret);
        httpclient_close(ctx);
        return ret;
    }
    SDK_DEBUG(tessera::kModule, "host: '%s', port: %d", parsed.host.c_str(), parsed.port);
    if (ctx->conn.handle == 0) {
        ret = tessera::Open(ctx, url, parsed, ca_crt, method, data);
        if (ret != 0) {
            httpclient_close(ctx);
            return ret;
        }
    }
    if (data->reply_buf != nullptr && data->reply_capacity > 0) {
        ret = httpclient_recv_response(ctx, timeout_ms, data);
        if (ret < 0) {
            SDK_ERR(tessera::kModule, "httpclient_recv_response is error,ret = %d", ret);
            httpclient_close(ctx);
            return ret;
        }
    }
    if (data->body_pending) return 0;
    SDK_DEBUG(tessera::kModule, "close http channel");
    httpclient_close(ctx);
    return 0;
}

extern "C" void httpclient_close(http_conn_rec* ctx) {
    if (ctx == nullptr || ctx->conn.handle == 0) return;
    if (ctx->conn.disconnect != nullptr) ctx->conn.disconnect(&ctx->conn);
    ctx->conn.handle = 0;
    SDK_DEBUG(tessera::kModule, "client disconnected");
}
