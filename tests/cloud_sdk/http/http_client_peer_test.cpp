// Whole exchanges over TLS: nginx for well-behaved HTTPS, the scripted Python peer for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud_log_capture.h"
#include "infra/utils/sdk_mem.h"
#include "peers.h"
#include "tessera_httpclient.h"
#include "tls_scripted_peer.h"

using testsupport::CloudLogCapture;
using testsupport::NginxPeer;
using testsupport::TempDir;
using testsupport::TestCertificates;
using testsupport::TlsScriptedPeer;

namespace {

std::string Pattern(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + (i * 13) % 26);
    return body;
}

class HttpClientPeerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ASSERT_TRUE(testsupport::MakeTestCertificates(dir_->path(), &certs_));
        ca_ = certs_.Pem("ca.crt");
        nginx_ = new NginxPeer(&certs_);
        ASSERT_TRUE(nginx_->Start());
    }
    static void TearDownTestSuite() {
        delete nginx_;
        delete dir_;
    }
    void TearDown() override { EXPECT_EQ(tessera::SdkMemInUse("httpc"), 0u); }

    static std::string NginxUrl(const std::string& path) {
        return "https://localhost:" + std::to_string(nginx_->https_port()) + path;
    }

    // GETs url in pieces of capacity - 1 bytes; returns the results of each call.
    static std::vector<int> Download(const std::string& url, int capacity, std::string* body, int* status,
                                     int port = 443) {
        http_conn_rec ctx{};
        http_exchange_rec data{};
        std::vector<char> reply(static_cast<size_t>(capacity));
        data.reply_buf = reply.data();
        data.reply_capacity = capacity;
        std::vector<int> results;
        do {
            int ret = httpclient_common(&ctx, url.c_str(), port, ca_.c_str(), HTTPCLIENT_GET, 1000, &data);
            results.push_back(ret);
            if (ret != 0) break;
            body->append(reply.data(), strlen(reply.data()));
        } while (data.body_pending);
        *status = ctx.status_code;
        EXPECT_EQ(ctx.conn.handle, 0u);  // closed after the last piece or the failure
        return results;
    }

    static TempDir* dir_;
    static TestCertificates certs_;
    static std::string ca_;
    static NginxPeer* nginx_;
};

TempDir* HttpClientPeerTest::dir_ = nullptr;
TestCertificates HttpClientPeerTest::certs_;
std::string HttpClientPeerTest::ca_;
NginxPeer* HttpClientPeerTest::nginx_ = nullptr;

TEST_F(HttpClientPeerTest, LargeFileComesInPiecesOverOneConnection) {
    std::string image = Pattern(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(testsupport::WriteFile(nginx_->WwwPath("fw/image.bin"), image));
    std::string body;
    int status = 0;
    std::vector<int> results = Download(NginxUrl("/fw/image.bin"), 1024, &body, &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(results.size(), (image.size() + 1022) / 1023);
    EXPECT_EQ(body.size(), image.size());
    EXPECT_TRUE(body == image);
    std::string access = testsupport::ReadFile(nginx_->dir() + "/access.log");
    EXPECT_EQ(std::count(access.begin(), access.end(), '\n'), 1) << access;
}

TEST_F(HttpClientPeerTest, PortInTheUrlWinsOverThePortArgument) {
    ASSERT_TRUE(testsupport::WriteFile(nginx_->WwwPath("fw/small.bin"), "small image"));
    std::string body;
    int status = 0;
    EXPECT_EQ(Download(NginxUrl("/fw/small.bin"), 1024, &body, &status, 443), (std::vector<int>{0}));
    EXPECT_EQ(body, "small image");
}

TEST_F(HttpClientPeerTest, PutUploadsTheBody) {
    std::string picture = Pattern(50000);
    http_conn_rec ctx{};
    ctx.extra_headers = "Accept: text/xml,text/javascript,text/html,application/json\r\n";
    http_exchange_rec data{};
    data.post_buf = picture.data();
    data.post_len = static_cast<int>(picture.size());
    data.request_content_type = "image/jpeg";
    char reply[1024];
    data.reply_buf = reply;
    data.reply_capacity = sizeof(reply);
    ASSERT_EQ(httpclient_common(&ctx, NginxUrl("/up/dev/alarm.jpg?sig=1").c_str(), 443, ca_.c_str(), HTTPCLIENT_PUT,
                                1000, &data),
              0);
    EXPECT_EQ(ctx.status_code, 201);
    EXPECT_TRUE(testsupport::ReadFile(nginx_->WwwPath("up/dev/alarm.jpg")) == picture);
}

TEST_F(HttpClientPeerTest, MissingFileGivesItsStatusAndSucceeds) {
    CloudLogCapture capture;
    std::string body;
    int status = 0;
    EXPECT_EQ(Download(NginxUrl("/fw/none.bin"), 1024, &body, &status), (std::vector<int>{0}));
    EXPECT_EQ(status, 404);
    EXPECT_TRUE(capture.Has("Response code 404"));
}

TEST_F(HttpClientPeerTest, UntrustedServerOrNoListenerFailsTheConnect) {
    CloudLogCapture capture;
    TlsScriptedPeer other(certs_, "other");
    ASSERT_TRUE(other.Start("echo"));
    std::string body;
    int status = 0;
    for (int port : {other.port(), testsupport::FreeLoopbackPort()}) {
        std::string url = "https://localhost:" + std::to_string(port) + "/fw/x";
        EXPECT_EQ(Download(url, 1024, &body, &status), (std::vector<int>{-8}));
    }
    EXPECT_EQ(capture.Count("establish connection failed"), 2);
    EXPECT_EQ(capture.Count("httpclient_connect is error, ret = -8"), 2);
}

struct ScriptedCase {
    const char* name;
    std::string response;
    const char* after;
    std::vector<int> results;
    std::string body;
};

TEST_F(HttpClientPeerTest, ScriptedServers) {
    const ScriptedCase cases[] = {
        {"chunked, coding on the third line",
         "HTTP/1.1 200 OK\r\nServer: py\r\nDate: x\r\nTransfer-Encoding: chunked\r\n\r\n"
         "4\r\nfirm\r\n6\r\nware!!\r\n0\r\n\r\n",
         "stall",
         {0},
         "firmware!!"},
        {"closes before the body is complete", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + Pattern(1500),
         "close", {0, -8}, Pattern(1023)},
        {"closes without close_notify", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", "drop", {-8}, ""},
        {"no length header", "HTTP/1.1 200 OK\r\nServer: py\r\n\r\nabc", "stall", {-4}, ""},
        {"length unknown, ends at close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\nuntil close", "close",
         {0}, "until close"},
        {"header never ends", "HTTP/1.1 200 OK\r\nServer: py\r\n", "stall", {-1}, ""},
    };
    for (const ScriptedCase& c : cases) {
        SCOPED_TRACE(c.name);
        TlsScriptedPeer peer(certs_);
        ASSERT_TRUE(peer.StartResponding(c.response, c.after));
        std::string body;
        int status = 0;
        std::string url = "https://localhost:" + std::to_string(peer.port()) + "/fw/x";
        EXPECT_EQ(Download(url, 1024, &body, &status), c.results);
        EXPECT_EQ(body, c.body);
        EXPECT_EQ(peer.Requests().substr(0, 13), "GET /fw/x HTT");
    }
}

}  // namespace
