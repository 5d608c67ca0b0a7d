// URL parsing: scheme, host, port, application, play path, tcUrl and options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_util.h"
#include "rtmp/rtmp_sdk/engine/rtmp.h"
#include "rtmp/rtmp_sdk/engine/rtmp_url.h"

namespace {

using enginetest::EngineLog;

std::string Text(const AVal& v) { return std::string(v.av_val != nullptr ? v.av_val : "", static_cast<size_t>(v.av_len)); }

struct UrlCase {
    const char* name;
    std::string url;
    int protocol;
    std::string host;
    int port;
    std::string app, playpath, tc_url;
};

const UrlCase kUrlCases[] = {
    {"SignedApplication", "rtmp://H/live?token=t1-t2/cam1", RTMP_PROTOCOL_RTMP, "H", 1935, "live?token=t1-t2", "cam1",
     "rtmp://H/live?token=t1-t2"},
    {"QueryOnPlayPath", "rtmp://H/app/stream?x=1", RTMP_PROTOCOL_RTMP, "H", 1935, "app", "stream?x=1", "rtmp://H/app"},
    {"FourLevels", "rtmp://h:1940/a/b/c/d", RTMP_PROTOCOL_RTMP, "h", 1940, "a/b/c", "d", "rtmp://h:1940/a/b/c"},
    {"ThreeLevels", "rtmp://h/a/b/c", RTMP_PROTOCOL_RTMP, "h", 1935, "a/b", "c", "rtmp://h/a/b"},
    {"ApplicationOnly", "rtmp://h/a", RTMP_PROTOCOL_RTMP, "h", 1935, "a", "", "rtmp://h/a"},
    {"NoPath", "rtmp://h:2000", RTMP_PROTOCOL_RTMP, "h", 2000, "", "", "rtmp://h:2000"},
    {"TlsScheme", "rtmps://h/a/b", RTMP_PROTOCOL_RTMPS, "h", 443, "a", "b", "rtmps://h/a"},
    {"TunnelScheme", "rtmpt://h/a/b", RTMP_PROTOCOL_RTMPT, "h", 80, "a", "b", "rtmpt://h/a"},
    {"SchemeCase", "RTMPE://h/a/b", RTMP_PROTOCOL_RTMPE, "h", 1935, "a", "b", "RTMPE://h/a"},
    {"OnDemand", "rtmp://h/ondemand/x/y.mp4", RTMP_PROTOCOL_RTMP, "h", 1935, "ondemand", "mp4:x/y.mp4",
     "rtmp://h/ondemand"},
    {"FlvDropped", "rtmp://h/vod/movie.flv", RTMP_PROTOCOL_RTMP, "h", 1935, "vod", "movie", "rtmp://h/vod"},
    {"Mp3Prefixed", "rtmp://h/vod/song.mp3", RTMP_PROTOCOL_RTMP, "h", 1935, "vod", "mp3:song", "rtmp://h/vod"},
    {"F4vPrefixed", "rtmp://h/vod/clip.f4v", RTMP_PROTOCOL_RTMP, "h", 1935, "vod", "mp4:clip.f4v", "rtmp://h/vod"},
    {"PercentDecoded", "rtmp://h/vod/a%20b%zz", RTMP_PROTOCOL_RTMP, "h", 1935, "vod", "a b%zz", "rtmp://h/vod"},
    {"PortOutOfRange", "rtmp://h:99999/a/b", RTMP_PROTOCOL_RTMP, "h", 1935, "a", "b", "rtmp://h:99999/a"},
    {"ServerList", "rtmp://h/live/x?slist=a;b", RTMP_PROTOCOL_RTMP, "h", 1935, "live/x", "slist=a;b",
     "rtmp://h/live/x"},
    {"Options", "rtmp://h/live/cam1 app=other tcUrl=rtmp://x/y flashVer=FMLE\\203.0", RTMP_PROTOCOL_RTMP, "h", 1935,
     "other", "cam1", "rtmp://x/y"},
};

class UrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlTest, SplitsTheUrlIntoTheLink) {
    const UrlCase& c = GetParam();
    std::vector<char> url(c.url.begin(), c.url.end());
    url.push_back('\0');
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    ASSERT_EQ(RTMP_SetupURL(r, url.data()), 1);
    EXPECT_EQ(r->Link.protocol, c.protocol);
    EXPECT_EQ(Text(r->Link.hostname), c.host);
    EXPECT_EQ(r->Link.port, c.port);
    EXPECT_EQ(Text(r->Link.app), c.app);
    EXPECT_EQ(Text(r->Link.playpath), c.playpath);
    EXPECT_EQ(Text(r->Link.tcUrl), c.tc_url);
    RTMP_Free(r);
}

INSTANTIATE_TEST_SUITE_P(Urls, UrlTest, ::testing::ValuesIn(kUrlCases),
                         [](const ::testing::TestParamInfo<UrlCase>& info) { return std::string(info.param.name); });

TEST(UrlTest, OptionsAreUnescapedAndWriteWhatTheyName) {
    char url[] = "rtmp://h/live/cam1 flashVer=FMLE\\203.0 timeout=7";
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    ASSERT_EQ(RTMP_SetupURL(r, url), 1);
    EXPECT_EQ(Text(r->Link.flashVer), "FMLE 3.0");
    EXPECT_EQ(r->Link.timeout, 7);
    EXPECT_EQ(std::string(url), "rtmp://h/live/cam1");  // the options are cut off in place
    RTMP_Free(r);
}

TEST(UrlTest, RefusedUrlsLogWhy) {
    struct Refused {
        std::string url;
        const char* text;
    };
    const Refused refused[] = {{"h/live/cam1", "RTMP URL: No :// in url!"},
                               {"http://h/live/cam1", "RTMP_ParseURL, unknown protocol"},
                               {"rtmp://h/live/cam1 bogus=1", "Unknown option bogus"},
                               {"rtmp://h/live/cam1 novalue", "Unknown option novalue"}};
    for (const Refused& c : refused) {
        EngineLog log;
        std::vector<char> url(c.url.begin(), c.url.end());
        url.push_back('\0');
        RTMP* r = RTMP_Alloc();
        RTMP_Init(r);
        EXPECT_EQ(RTMP_SetupURL(r, url.data()), 0) << c.url;
        EXPECT_TRUE(log.Has(c.text)) << log.Dump();
        RTMP_Free(r);
    }
}

TEST(UrlTest, OverlongHostIsNotTakenAndConnectFailsAtOnce) {
    std::string text = "rtmp://" + std::string(300, 'h') + "/live/cam1";
    std::vector<char> url(text.begin(), text.end());
    url.push_back('\0');
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    ASSERT_EQ(RTMP_SetupURL(r, url.data()), 1);
    EXPECT_EQ(r->Link.hostname.av_len, 0);
    EXPECT_EQ(RTMP_Connect(r, nullptr), 0);
    RTMP_Free(r);
}

TEST(UrlTest, TlsSchemeParsesButFailsAtConnect) {
    EngineLog log;
    char url[] = "rtmps://127.0.0.1/live/cam1";
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    ASSERT_EQ(RTMP_SetupURL(r, url), 1);
    RTMP_EnableWrite(r);
    EXPECT_EQ(r->Link.protocol, RTMP_PROTOCOL_RTMPS | RTMP_FEATURE_WRITE);
    EXPECT_EQ(RTMP_Connect(r, nullptr), 0);
    EXPECT_TRUE(log.Has("RTMP_Connect, no SSL/TLS support")) << log.Dump();
    EXPECT_FALSE(RTMP_IsConnected(r));
    RTMP_Free(r);
}

}  // namespace
