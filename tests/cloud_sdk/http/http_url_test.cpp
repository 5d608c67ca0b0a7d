#include <gtest/gtest.h>

#include <string>

#include "cloud_log_capture.h"
#include "infra/http/http_url.h"

using tessera::HttpUrl;
using tessera::ParseHttpUrl;

namespace {

struct UrlCase {
    std::string url;
    int result;
    std::string host;
    int port;
    std::string path;
    std::string message;  // logged on failure
};

TEST(HttpUrl, Table) {
    const std::string long_host(128, 'h');
    const std::string long_path(1023, 'p');
    const UrlCase cases[] = {
        {"https://upload-host/a/b?x=1#frag", 0, "upload-host", 443, "/a/b?x=1", ""},
        {"https://localhost:8443/fw/image.bin", 0, "localhost", 8443, "/fw/image.bin", ""},
        {"https://h/", 0, "h", 443, "/", ""},
        {"https://" + std::string(127, 'h') + "/x", 0, std::string(127, 'h'), 443, "/x", ""},
        {"httpsxyz://h/x", -7, "", 0, "", "Scheme str is too small (8 >= 8)"},
        {"localhost/x", -7, "", 0, "", "Could not find host"},
        {"https://h", -1, "", 0, "", "invalid path"},
        {"https://" + long_host + "/x", -7, "", 0, "", "Host str is too long (host_len(128) >= max_len(128))"},
        {"https://h/" + long_path, -7, "", 0, "", "Path str is too small (1024 >= 1024)"},
        {"https://h:0/x", -7, "", 0, "", "Could not find host"},
        {"https://h:99999/x", -7, "", 0, "", "Could not find host"},
        {"https://:443/x", -7, "", 0, "", "Could not find host"},
        {"https:///x", -7, "", 0, "", "Could not find host"},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.url.substr(0, 60));
        testsupport::CloudLogCapture capture;
        HttpUrl url;
        int result = ParseHttpUrl(c.url, 443, &url);
        ASSERT_EQ(result, c.result);
        if (result == 0) {
            EXPECT_EQ(url.host, c.host);
            EXPECT_EQ(url.port, c.port);
            EXPECT_EQ(url.path, c.path);
        } else {
            EXPECT_TRUE(capture.Has(c.message)) << capture.Dump();
        }
    }
}

}  // namespace
