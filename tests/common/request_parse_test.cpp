#include "common/requestParse.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "log_capture.h"
#include "utils/logger.h"

namespace {

using testsupport::LogCapture;

// The bytes 0x00 to 0x1f, Base64.
const char kSecret[] = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";

TEST(UrlParseTest, SplitsRtmpUrls) {
    UrlParse url;
    ASSERT_EQ(url.Parse("rtmp://host:1935/app?token=T&session=S/stream1", "pk", "dev", kSecret), 0);
    EXPECT_EQ(url.GetProtocol(), "rtmp");
    EXPECT_EQ(url.GetDomain(), "host:1935");
    EXPECT_EQ(url.GetPath(), "app");
    EXPECT_EQ(url.GetStreamName(), "stream1");
    EXPECT_EQ(url.GetQuery("token"), "T");
    EXPECT_EQ(url.GetQuery("session"), "S");
    EXPECT_EQ(url.GetQuery("absent"), "");
}

TEST(UrlParseTest, OnlyRtmpSplitsOffAStreamName) {
    UrlParse url;
    ASSERT_EQ(url.Parse("https://host:1935/app?token=T&session=S/stream1", "pk", "dev", kSecret), 0);
    EXPECT_EQ(url.GetStreamName(), "");
    EXPECT_EQ(url.GetQuery("session"), "S/stream1");
    EXPECT_EQ(url.Parse("RTMP://h/a?x=1/s", "pk", "dev", kSecret), 0);
    EXPECT_EQ(url.GetQuery("x"), "1/s");
}

TEST(UrlParseTest, QueryPieces) {
    const struct {
        const char* query;
        std::map<std::string, std::string> expected;
    } cases[] = {
        {"a=b=c", {{"a", "b=c"}}},
        {"a=1&a=2", {{"a", "1"}}},
        {"flag&b=2", {{"b", "2"}}},
        {"&&b=2&", {{"b", "2"}}},
        {"a=&=v", {{"a", ""}, {"", "v"}}},
        {"pre=1&seek=30", {{"pre", "1"}, {"seek", "30"}}},
    };
    for (const auto& c : cases) {
        UrlParse url;
        ASSERT_EQ(url.Parse(std::string("http://h/p?") + c.query, "", "", ""), 0) << c.query;
        for (const auto& entry : c.expected) EXPECT_EQ(url.GetQuery(entry.first), entry.second) << c.query;
        EXPECT_EQ(url.GetQuery("flag"), "") << c.query;
    }
}

TEST(UrlParseTest, MalformedUrlsFail) {
    const char* const cases[] = {
        "rtmp://host/app?",    // empty query part
        "rtmp://host/app",     // no "?"
        "rtmp://host?x=1",     // no "/" after the domain
        "rtmp:///app?x=1",     // the domain needs a character
        "host/app?x=1",        // no "://"
        "rtmp://",             //
        "",                    //
        " \t\r\n",             // blanks only
    };
    for (const char* text : cases) {
        UrlParse url;
        EXPECT_EQ(url.Parse(text, "pk", "dev", kSecret), -1) << text;
        EXPECT_EQ(url.GetUrl(), text);
        EXPECT_EQ(url.GetQuery("x"), "") << text;
    }
}

TEST(UrlParseTest, SurroundingBlanksAreIgnoredButKept) {
    const std::string raw = " \t\r\nrtmp://h/app?token=T/s1\n\r\t ";
    UrlParse url;
    ASSERT_EQ(url.Parse(raw, "pk", "dev", kSecret), 0);
    EXPECT_EQ(url.GetUrl(), raw);
    EXPECT_EQ(url.GetProtocol(), "rtmp");
    EXPECT_EQ(url.GetStreamName(), "s1");
    EXPECT_EQ(url.GetQuery("token"), "T");
}

TEST(UrlParseTest, ReparsingForgetsThePreviousUrl) {
    UrlParse url;
    ASSERT_EQ(url.Parse("rtmp://h/app?token=T/s1", "pk", "dev", kSecret), 0);
    ASSERT_EQ(url.Parse("rtmp://h2/app2?session=S", "pk", "dev", kSecret), 0);
    EXPECT_EQ(url.GetQuery("token"), "");
    EXPECT_EQ(url.GetStreamName(), "");
}

// Expected signatures: HMAC-SHA-256 under the 32 key bytes, computed independently.
TEST(UrlParseTest, SignsLiveVodAndIntercomUrls) {
    UrlParse url;
    ASSERT_EQ(url.Parse("rtmp://host:1935/app?token=T&session=S&streamName=talk9&other=1/stream1", "pk", "dev",
                        kSecret),
              0);
    EXPECT_EQ(url.CalculateRtmpLiveUrl(),
              "rtmp://host:1935/app?token=T-33a4af2b9e38c95853b2ec46849ff4837fd01f5ada62eb9f9f14f8f4ce0e25ab/stream1");
    EXPECT_EQ(url.CalculateRtmpVodUrl(),
              "rtmp://host:1935/app?token=T-5cf42b19f0a40d261341c8e6f5500f6fda8e9738f6a2a0d16bfc501287ea89bb"
              "&session=S/stream1");
    EXPECT_EQ(url.CalculateVoiceIntercomSign(), "919111bd7986dfb8dafd16243e8b39d815e6b6722d6e32f7d34ba4ea06e853ae");
}

TEST(UrlParseTest, MissingTokenSignsAnEmptyOne) {
    UrlParse url;
    ASSERT_EQ(url.Parse("rtmp://h/live?x=1/stream1", "pk", "dev", "c2VjcmV0"), 0);  // "secret"
    EXPECT_EQ(url.CalculateRtmpLiveUrl(),
              "rtmp://h/live?token=-2a7b0245c0a5a1d18931e62dd76c62d2a31379e611bc91692550c2a03abf9e00/stream1");
}

TEST(UrlParseTest, UnusableSecretLeavesTheSignatureEmpty) {
    const struct {
        const char* secret;
        const char* log;
    } cases[] = {
        {"abc", "decode failed, ret = -1, len = 0"},   // not a multiple of 4
        {"", "decode failed, ret = 0, len = 0"},       // nothing to sign with
        {"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gIQ==", "decode failed, ret = -1, len = 34"},  // over 32
    };
    for (const auto& c : cases) {
        LogCapture log;
        UrlParse url;
        ASSERT_EQ(url.Parse("rtmp://h/live?token=T/s", "pk", "dev", c.secret), 0);
        EXPECT_EQ(url.CalculateRtmpLiveUrl(), "rtmp://h/live?token=T-/s") << c.secret;
        EXPECT_TRUE(log.Has(c.log, LEVEL_ERROR)) << log.Dump();
    }
}

TEST(StunUrlTest, SplitsHostPortAndKey) {
    const struct {
        const char* url;
        int ret;
        const char* ip;
        int port;
        const char* key;
    } cases[] = {
        {"127.0.0.9:3478?key=abc", 0, "127.0.0.9", 3478, "abc"},
        {"host:x?key=k=1", 0, "host", 0, "k=1"},
        {"host:12ab?key=", 0, "host", 12, ""},
        {"host:99999999999?key=k", 0, "host", 2147483647, "k"},
        {"127.0.0.9?key=abc", -1, "unset", -5, "unset"},
        {"127.0.0.9:3478", -1, "unset", -5, "unset"},
        {"?key=a:1", -1, "unset", -5, "unset"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        std::string ip = "unset";
        std::string key = "unset";
        int port = -5;
        EXPECT_EQ(ParseStunUrl(c.url, ip, port, key), c.ret) << c.url;
        EXPECT_EQ(ip, c.ip) << c.url;
        EXPECT_EQ(port, c.port) << c.url;
        EXPECT_EQ(key, c.key) << c.url;
    }
    LogCapture log;
    std::string ip, key;
    int port = 0;
    ParseStunUrl("127.0.0.9:3478?key=abc", ip, port, key);
    EXPECT_TRUE(log.Has("ip:127.0.0.9 port:3478 key:abc", LEVEL_DEBUG)) << log.Dump();
}

}  // namespace
