// Sending a request: the header block (RFC 7230 3) and the body.
#include <mbedtls/base64.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "infra/http/http_url.h"
#include "infra/utils/sdk_log.h"
#include "infra/utils/sdk_mem.h"
#include "tessera_httpclient.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "httpc";
constexpr uint32_t kSendTimeoutMs = 5000;
constexpr size_t kHeaderBuffer = 1024;
constexpr size_t kBasicPairMax = 130;
const char* const kMethodNames[] = {"GET", "POST", "PUT", "DELETE", "HEAD"};

int WriteAll(http_conn_rec* ctx, const char* bytes, size_t length, const char* closed_text) {
    int ret = ctx->conn.write(&ctx->conn, bytes, static_cast<uint32_t>(length), kSendTimeoutMs);
    if (ret == 0) {
        SDK_ERR(kModule, "%s", closed_text);
        return HTTPCLIENT_CLOSED_WRITING;
    }
    if (ret < 0 || static_cast<size_t>(ret) < length) {  // a request cut short is no request
        SDK_ERR(kModule, "Connection error (send returned %d)", ret);
        return HTTPCLIENT_CONNECTION;
    }
    SDK_DEBUG(kModule, "Written %d bytes", ret);
    return 0;
}

// Gathers header text in the 1024-byte working buffer and writes it out whenever it fills, so a header
// block of any length goes out whole.
class HeaderWriter {
public:
    explicit HeaderWriter(http_conn_rec* ctx)
        : ctx_(ctx), buffer_(static_cast<char*>(SdkMalloc(kHeaderBuffer, kModule))) {}
    ~HeaderWriter() { SdkFree(buffer_); }
    HeaderWriter(const HeaderWriter&) = delete;
    HeaderWriter& operator=(const HeaderWriter&) = delete;

    bool ok() const { return buffer_ != nullptr; }

    int Add(const std::string& text) {
        for (size_t done = 0; done < text.size();) {
            if (used_ == kHeaderBuffer) {
                int ret = Flush();
                if (ret != 0) return ret;
            }
            size_t take = std::min(text.size() - done, kHeaderBuffer - used_);
            memcpy(buffer_ + used_, text.data() + done, take);
            used_ += take;
            done += take;
        }
        return 0;
    }

    int Flush() {
        if (used_ == 0) return 0;
        int ret = WriteAll(ctx_, buffer_, used_, "ret == 0,Connection was closed by server");
        used_ = 0;
        return ret;
    }

private:
    http_conn_rec* ctx_;
    char* buffer_;
    size_t used_ = 0;
};

std::string BasicAuthorization(const char* user, const char* password) {
    std::string pair = std::string(user) + ":" + (password != nullptr ? password : "");
    pair.resize(std::min(pair.size(), kBasicPairMax));
    unsigned char encoded[2 * kBasicPairMax];
    size_t length = 0;
    mbedtls_base64_encode(encoded, sizeof(encoded), &length, reinterpret_cast<const unsigned char*>(pair.data()),
                          pair.size());
    return "Authorization: Basic " + std::string(reinterpret_cast<char*>(encoded), length) + "\r\n";
}

std::string HostHeaderValue(const HttpUrl& url) {
    // RFC 7230 5.4: the port is part of Host when the URL names one.
    return url.port_in_url ? url.host + ":" + std::to_string(url.port) : url.host;
}

std::string HeaderBlock(const http_conn_rec* ctx, const HttpUrl& url, int method, const http_exchange_rec* data) {
    std::string block = std::string(kMethodNames[method]) + " " + url.path + " HTTP/1.1\r\nHost: " +
                        HostHeaderValue(url) + "\r\n";
    if (ctx->basic_user != nullptr) block += BasicAuthorization(ctx->basic_user, ctx->basic_password);
    if (ctx->extra_headers != nullptr) block += ctx->extra_headers;
    if (data->post_buf != nullptr) {
        block += "Content-Length: " + std::to_string(data->post_len) + "\r\n";
        if (data->request_content_type != nullptr) {
            block += "Content-Type: " + std::string(data->request_content_type) + "\r\n";
        }
    }
    return block + "\r\n";
}

void LogHeaderLines(const std::string& block) {
    if (!LogEnabled(TESSERA_LOG_DEBUG)) return;
    for (size_t start = 0, end; (end = block.find("\r\n", start)) != std::string::npos && end > start; start = end + 2) {
        SDK_DEBUG(kModule, "> %s", block.substr(start, end - start).c_str());
    }
}

int SendHeader(http_conn_rec* ctx, const HttpUrl& url, int method, const http_exchange_rec* data) {
    HeaderWriter writer(ctx);
    if (!writer.ok()) return HTTPCLIENT_NO_MEMORY;
    std::string block = HeaderBlock(ctx, url, method, data);
    LogHeaderLines(block);
    int ret = writer.Add(block);
    return ret != 0 ? ret : writer.Flush();
}

int SendBody(http_conn_rec* ctx, int method, const http_exchange_rec* data) {
    bool has_body = (method == HTTPCLIENT_POST || method == HTTPCLIENT_PUT) && data->post_buf != nullptr &&
                    data->post_len > 0;
    if (!has_body) return 0;
    SDK_DEBUG(kModule, "client_data->post_buf: %.*s", data->post_len, data->post_buf);
    return WriteAll(ctx, data->post_buf, static_cast<size_t>(data->post_len),
                    "ret == 0, Connection was closed by server");
}

}  // namespace
}  // namespace tessera

extern "C" int httpclient_send_request(http_conn_rec* ctx, const char* url, int method, http_exchange_rec* data) {
    if (ctx == nullptr || url == nullptr || data == nullptr || method < HTTPCLIENT_GET || method > HTTPCLIENT_HEAD) {
        return HTTPCLIENT_ERROR;
    }
    if (ctx->conn.handle == 0) {
        SDK_ERR(tessera::kModule, "not connection have been established");
        return HTTPCLIENT_CONNECTION;
    }
    tessera::HttpUrl parsed;
    int ret = tessera::ParseHttpUrl(url, ctx->conn.port, &parsed);
    if (ret != 0) {
        SDK_ERR(tessera::kModule, "httpclient_parse_url fail returned %d", ret);
        return ret;
    }
    ret = tessera::SendHeader(ctx, parsed, method, data);
    if (ret != 0) {
        SDK_ERR(tessera::kModule, "httpclient_send_header is error,ret = %d", ret);
        return ret;
    }
    return tessera::SendBody(ctx, method, data);
}
