// Response reading through an in-memory transport: each scripted piece is what one read may return.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "cloud_log_capture.h"
#include "infra/utils/sdk_mem.h"
#include "scripted_transport.h"
#include "tessera_httpclient.h"

using testsupport::CloudLogCapture;
using testsupport::ScriptedTransport;

namespace {

std::string Pattern(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>('A' + (i * 7) % 26);
    return body;
}

struct Outcome {
    std::vector<int> results;  // of each call, until the body completed or a call failed
    std::vector<bool> pending; // body_pending after each call
    std::string body;          // all pieces joined
    int status = 0;
};

class HttpResponseTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(tessera::SdkMemInUse("httpc"), 0u); }

    // Calls httpclient_recv_response until the body is complete or a call fails.
    Outcome ReadAll(std::deque<std::string> pieces, int capacity, int max_calls = 1000) {
        ScriptedTransport transport(std::move(pieces));
        http_conn_rec ctx;
        transport.Attach(&ctx);
        http_exchange_rec data{};
        std::vector<char> reply(static_cast<size_t>(capacity));
        data.reply_buf = reply.data();
        data.reply_capacity = capacity;
        Outcome outcome;
        for (int call = 0; call < max_calls; ++call) {
            int ret = httpclient_recv_response(&ctx, 1000, &data);
            outcome.results.push_back(ret);
            outcome.pending.push_back(data.body_pending);
            if (ret < 0) break;
            EXPECT_LT(strlen(reply.data()), static_cast<size_t>(capacity));
            outcome.body += std::string(reply.data(), strlen(reply.data()));
            if (!data.body_pending) break;
        }
        outcome.status = ctx.status_code;
        return outcome;
    }
};

TEST_F(HttpResponseTest, ThreeThousandBytesComeInFourPiecesOf1023) {
    std::string body = Pattern(3000);
    Outcome out = ReadAll({"HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n" + body}, 1024);
    EXPECT_EQ(out.results, (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(out.pending, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(out.body, body);
    EXPECT_EQ(out.status, 200);
}

TEST_F(HttpResponseTest, BodyBytesReadWithTheHeaderAreNotLostWhenTheBufferIsSmall) {
    std::string body = Pattern(300);
    Outcome out = ReadAll({"HTTP/1.1 200 OK\r\nContent-Length: 300\r\n\r\n" + body}, 16);
    EXPECT_EQ(out.body, body);
    EXPECT_EQ(out.results.back(), 0);
}

TEST_F(HttpResponseTest, ErrorStatusWithEmptyBodyIsReportedNotFailed) {
    CloudLogCapture capture;
    Outcome out = ReadAll({"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"}, 1024);
    EXPECT_EQ(out.results, (std::vector<int>{0}));
    EXPECT_EQ(out.status, 403);
    EXPECT_TRUE(capture.Has("Response code 403"));
}

TEST_F(HttpResponseTest, ChunkedBodyNamedOnTheThirdHeaderLine) {
    CloudLogCapture capture;
    std::string response =
        "HTTP/1.1 200 OK\r\nServer: t\r\nDate: now\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\nhello\r\n1a;name=value\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n";
    // Split everywhere, also inside the size lines and the CRLFs after the data.
    std::deque<std::string> pieces;
    for (size_t i = 0; i < response.size(); i += 3) pieces.push_back(response.substr(i, 3));
    for (int capacity : {1024, 8, 2}) {
        SCOPED_TRACE(capacity);
        Outcome out = ReadAll(pieces, capacity);
        EXPECT_EQ(out.body, "helloabcdefghijklmnopqrstuvwxyz");
        EXPECT_EQ(out.results.back(), 0);
        EXPECT_FALSE(out.pending.back());
    }
    EXPECT_TRUE(capture.Has("no more (last chunk)"));
}

TEST_F(HttpResponseTest, UnknownLengthRunsUntilTheServerCloses) {
    Outcome out = ReadAll({"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nfirst", "second"}, 1024);
    EXPECT_EQ(out.results, (std::vector<int>{0}));
    EXPECT_EQ(out.body, "firstsecond");
}

TEST_F(HttpResponseTest, StatusLineWithoutHeaderFieldsStillNeedsALength) {
    CloudLogCapture capture;
    Outcome out = ReadAll({"HTTP/1.1 200 OK\r\n\r\nbody"}, 1024);
    EXPECT_EQ(out.results, (std::vector<int>{-4}));
    EXPECT_TRUE(capture.Has("Could not parse header"));
}

struct FailureCase {
    const char* name;
    std::deque<std::string> pieces;
    int expected;
    const char* message;
};

TEST_F(HttpResponseTest, Failures) {
    const std::string long_field = "X-Long: " + std::string(1100, 'x') + "\r\n";
    const FailureCase cases[] = {
        {"no length header", {"HTTP/1.1 200 OK\r\nServer: t\r\n\r\nbody"}, -4, "Could not parse header"},
        {"bad length", {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n"}, -4, "Could not parse header"},
        {"no status line end", {std::string(320, 'H')}, -6, "\\r\\n not found"},
        {"not a status line", {"SSH-2.0-OpenSSH\r\n\r\n"}, -6, "malformed status line"},
        {"header block too long", {"HTTP/1.1 200 OK\r\n" + long_field + "\r\n"}, -7, "buffer exceeded max\n"},
        {"chunk data without CRLF",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcXY0\r\n\r\n"},
         -6,
         "Format error, XY"},
        {"chunk size not hex",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"},
         -6,
         "Format error, zz"},
        {"chunk size line too long",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(1100, '1')},
         -4,
         "chunk size line too long"},
        {"chunk size overflow",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffff\r\n"},
         -6,
         "Format error, fffffffff"},
        {"short body then close", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"}, -8, "Connection closed."},
        {"nothing at all", {}, -8, "Connection closed."},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        CloudLogCapture capture;
        Outcome out = ReadAll(c.pieces, 1024);
        EXPECT_EQ(out.results.back(), c.expected);
        EXPECT_TRUE(capture.Has(c.message)) << capture.Dump();
    }
}

TEST_F(HttpResponseTest, NotConnectedIsRefused) {
    CloudLogCapture capture;
    http_conn_rec ctx{};
    char reply[16];
    http_exchange_rec data{};
    data.reply_buf = reply;
    data.reply_capacity = sizeof(reply);
    EXPECT_EQ(httpclient_recv_response(&ctx, 100, &data), -8);
    EXPECT_TRUE(capture.Has("not connection have been established"));
}

TEST_F(HttpResponseTest, CommonReusesTheConnectionUntilTheBodyIsDone) {
    std::string body = Pattern(3000);
    ScriptedTransport transport({"HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n" + body});
    http_conn_rec ctx;
    transport.Attach(&ctx);
    ctx.conn.handle = 0;  // not yet connected: the first call connects through the attached operations
    char reply[1024];
    http_exchange_rec data{};
    data.reply_buf = reply;
    data.reply_capacity = sizeof(reply);
    std::string got;
    std::vector<bool> pending;
    for (int call = 0; call < 4; ++call) {
        ASSERT_EQ(httpclient_common(&ctx, "https://h/fw/x", 443, nullptr, HTTPCLIENT_GET, 1000, &data), 0);
        got += reply;
        pending.push_back(data.body_pending);
        if (!data.body_pending) break;
    }
    EXPECT_EQ(got, body);
    EXPECT_EQ(pending, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(transport.connects, 1);
    EXPECT_EQ(transport.disconnects, 1);
    EXPECT_EQ(transport.written, "GET /fw/x HTTP/1.1\r\nHost: h\r\n\r\n");
}

}  // namespace
