#include <gtest/gtest.h>

#include <string>

#include "cloud_log_capture.h"
#include "services/ota/ota_announcement.h"

using tessera::OtaAnnouncement;
using tessera::ParseOtaAnnouncement;

namespace {

const std::string kMd5 = "0123456789abcdef0123456789abcdef";

std::string Announcement(const std::string& data, const std::string& message = "success") {
    return "{\"code\":\"1000\",\"message\":\"" + message + "\",\"data\":" + data + ",\"id\":1}";
}

TEST(OtaAnnouncement, SizeAsTextOrNumber) {
    for (const std::string& size : {std::string("\"5242880\""), std::string("5242880")}) {
        OtaAnnouncement out;
        std::string payload = Announcement("{\"version\":\"app-2.0\",\"url\":\"https://h/fw/a.bin\",\"md5\":\"" + kMd5 +
                                           "\",\"size\":" + size + "}");
        ASSERT_TRUE(ParseOtaAnnouncement(payload.data(), payload.size(), &out)) << payload;
        EXPECT_EQ(out.version, "app-2.0");
        EXPECT_EQ(out.url, "https://h/fw/a.bin");
        EXPECT_EQ(out.md5, kMd5);
        EXPECT_EQ(out.size, 5242880u);
    }
}

TEST(OtaAnnouncement, ShortMd5IsAccepted) {
    std::string payload = Announcement("{\"version\":\"v\",\"url\":\"https://h/x\",\"md5\":\"abc\",\"size\":1}");
    OtaAnnouncement out;
    EXPECT_TRUE(ParseOtaAnnouncement(payload.data(), payload.size(), &out));
}

struct RejectCase {
    const char* name;
    std::string payload;
    const char* message;
};

TEST(OtaAnnouncement, RejectedDocuments) {
    auto data = [](const std::string& version, const std::string& md5, const std::string& size) {
        return Announcement("{\"version\":" + version + ",\"url\":\"https://h/x\",\"md5\":" + md5 + ",\"size\":" + size +
                            "}");
    };
    const std::string md5 = "\"" + kMd5 + "\"";
    const RejectCase cases[] = {
        {"not json", "{\"message\":", "invalid json doc of OTA "},
        {"an array", "[1]", "invalid json doc of OTA "},
        {"failed state", Announcement("{}", "failure"), "fail state of json doc of OTA"},
        {"no data", "{\"message\":\"success\"}", "Not 'data' key in json doc of OTA"},
        {"data not an object", Announcement("\"x\""), "Not 'data' key in json doc of OTA"},
        {"md5 of 33", data("\"v\"", "\"" + kMd5 + "0\"", "1"), "value length of the key is too long"},
        {"version of 33", data("\"" + std::string(33, 'v') + "\"", md5, "1"), "value length of the key is too long"},
        {"empty version", data("\"\"", md5, "1"), "Get config parameter failed"},
        {"version a number", data("2", md5, "1"), "Get config parameter failed"},
        {"size of 17 digits", data("\"v\"", md5, "\"12345678901234567\""), "Get config parameter failed"},
        {"size not decimal", data("\"v\"", md5, "\"12ab\""), "Get config parameter failed"},
        {"size negative", data("\"v\"", md5, "-1"), "Get config parameter failed"},
        {"size fractional", data("\"v\"", md5, "1.5"), "Get config parameter failed"},
        {"size zero", data("\"v\"", md5, "0"), "Get config parameter failed"},
        {"no url", Announcement("{\"version\":\"v\",\"md5\":" + md5 + ",\"size\":1}"), "Get config parameter failed"},
    };
    for (const RejectCase& c : cases) {
        testsupport::CloudLogCapture capture;
        OtaAnnouncement out;
        EXPECT_FALSE(ParseOtaAnnouncement(c.payload.data(), c.payload.size(), &out)) << c.name;
        EXPECT_TRUE(capture.Has(c.message)) << c.name << "\n" << capture.Dump();
    }
}

}  // namespace
