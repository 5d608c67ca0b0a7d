// Firmware downloads over HTTPS from nginx and from the scripted TLS peer, with the progress reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud_log_capture.h"
#include "infra/utils/sdk_mem.h"
#include "peers.h"
#include "services/ota/ota_service.h"
#include "tessera_hal.h"
#include "tls_scripted_peer.h"

using testsupport::CloudLogCapture;
using testsupport::NginxPeer;
using testsupport::TempDir;
using testsupport::TestCertificates;
using testsupport::TlsScriptedPeer;
using tessera::OtaService;

namespace {

struct Published {
    std::string topic;
    std::string payload;
    int qos;
};

std::string Image(size_t size) {
    std::string image(size, '\0');
    uint32_t x = 12345;
    for (char& c : image) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 24);  // NUL bytes included
    }
    return image;
}

std::string Announcement(const std::string& url, const std::string& md5, size_t size) {
    return "{\"code\":\"1000\",\"message\":\"success\",\"data\":{\"version\":\"app-2.0.0\",\"url\":\"" + url +
           "\",\"md5\":\"" + md5 + "\",\"size\":\"" + std::to_string(size) + "\"},\"id\":7}";
}

std::string Step(const Published& p) {
    size_t start = p.payload.find("\"step\":\"") + 8;
    return p.payload.substr(start, p.payload.find('"', start) - start);
}

class OtaServiceTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ASSERT_TRUE(testsupport::MakeTestCertificates(dir_->path(), &certs_));
        nginx_ = new NginxPeer(&certs_);
        ASSERT_TRUE(nginx_->Start());
    }
    static void TearDownTestSuite() {
        delete nginx_;
        delete dir_;
    }
    void SetUp() override {
        ASSERT_EQ(IOT_SetCACert(certs_.Pem("ca.crt").c_str()), 0);
        ASSERT_EQ(HAL_Firmware_SetPath(image_path_.c_str()), 0);
    }
    void TearDown() override {
        IOT_SetCACert(nullptr);
        EXPECT_EQ(tessera::SdkMemInUse("httpc"), 0u);
    }

    std::string Serve(const std::string& name, const std::string& image) {
        EXPECT_TRUE(testsupport::WriteFile(nginx_->WwwPath("fw/" + name), image));
        return "https://localhost:" + std::to_string(nginx_->https_port()) + "/fw/" + name;
    }
    static std::string Md5(const std::string& path) {
        return testsupport::CaptureCommand("md5sum '" + path + "'").substr(0, 32);
    }
    static std::string Sha256(const std::string& path) {
        return testsupport::CaptureCommand("sha256sum '" + path + "'").substr(0, 64);
    }
    int Announce(const std::string& payload) { return ota_.OnMessage(payload.data(), payload.size()); }
    int Download(uint32_t length = 1024) {
        std::vector<char> buffer(length);
        return ota_.Download(buffer.data(), length);
    }
    std::vector<std::string> Steps() const {
        std::vector<std::string> steps;
        for (const Published& p : published_) steps.push_back(Step(p));
        return steps;
    }

    static TempDir* dir_;
    static TestCertificates certs_;
    static NginxPeer* nginx_;
    TempDir work_;
    std::string image_path_ = work_.File("vantroota.bin");
    std::vector<Published> published_;
    std::function<void()> on_publish_;
    OtaService ota_{"a1B2", "cam01", [this](const std::string& topic, const std::string& payload, int qos) {
                        published_.push_back({topic, payload, qos});
                        if (on_publish_) on_publish_();
                        return 0;
                    }};
};

TempDir* OtaServiceTest::dir_ = nullptr;
TestCertificates OtaServiceTest::certs_;
NginxPeer* OtaServiceTest::nginx_ = nullptr;

TEST_F(OtaServiceTest, TopicsAreBuiltFromKindAndIdentity) {
    EXPECT_EQ(ota_.UpgradeTopic(), "/ota/device/upgrade/a1B2/cam01");
    EXPECT_EQ(ota_.RequestTopic(), "/ota/device/request/a1B2/cam01");
}

TEST_F(OtaServiceTest, SeveralMegabytesAreFetchedCheckedAndStored) {
    std::string image = Image(5 * 1024 * 1024 + 333);
    // The URL names nginx's port; the download's default of 443 must not be used.
    std::string url = Serve("big.bin", image);
    std::string md5 = Md5(nginx_->WwwPath("fw/big.bin"));
    ASSERT_EQ(Announce(Announcement(url, md5, image.size())), 0);
    ASSERT_EQ(Download(), 0);
    EXPECT_TRUE(testsupport::ReadFile(image_path_) == image);
    EXPECT_EQ(ota_.state(), OtaService::State::kFetched);
    EXPECT_EQ(ota_.fetched(), image.size());
    EXPECT_EQ(ota_.FetchedSha256(), Sha256(image_path_));

    ASSERT_GE(published_.size(), 2u);
    EXPECT_EQ(published_.front().payload, "{\"id\":0,\"params\":{\"step\":\"0\",\"desc\":\"Enter in downloading state\"}}");
    EXPECT_EQ(published_.back().payload, "{\"id\":0,\"params\":{\"step\":\"100\",\"desc\":\"\"}}");
    int previous = -1;
    for (const Published& p : published_) {
        EXPECT_EQ(p.topic, "/ota/device/progress/a1B2/cam01");
        EXPECT_EQ(p.qos, 0);
        int step = std::stoi(Step(p));
        EXPECT_GE(step, previous);
        previous = step;
    }
    std::string access = testsupport::ReadFile(nginx_->dir() + "/access.log");
    EXPECT_EQ(std::count(access.begin(), access.end(), '\n'), 1) << "one connection, one request";
}

TEST_F(OtaServiceTest, OnePieceDownloadReportsZeroThenHundred) {
    std::string image = Image(1000);
    std::string url = Serve("small.bin", image);
    ASSERT_EQ(Announce(Announcement(url, Md5(nginx_->WwwPath("fw/small.bin")), 1000)), 0);
    ASSERT_EQ(Download(1024), 0);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"0", "100"}));
}

TEST_F(OtaServiceTest, WrongDigestReportsCheckFailedAndKeepsTheFile) {
    CloudLogCapture capture;
    std::string image = Image(4000);
    std::string url = Serve("wrong.bin", image);
    for (const std::string& md5 : {std::string(32, '0'), std::string("abc")}) {
        published_.clear();
        ASSERT_EQ(Announce(Announcement(url, md5, image.size())), 0);
        EXPECT_EQ(Download(), -1);
        EXPECT_EQ(Steps().back(), "-3");
        EXPECT_TRUE(testsupport::ReadFile(image_path_) == image);
        EXPECT_TRUE(capture.HasSubstring("origin=" + md5 + ", now="));
    }
}

TEST_F(OtaServiceTest, MissingImageFailsTheFetch) {
    CloudLogCapture capture;
    std::string url = "https://localhost:" + std::to_string(nginx_->https_port()) + "/fw/absent.bin";
    ASSERT_EQ(Announce(Announcement(url, std::string(32, '0'), 100)), 0);
    EXPECT_EQ(Download(), -1);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"-2"}));
    EXPECT_TRUE(capture.Has("Fetch firmware failed"));
}

struct BrokenServer {
    const char* name;
    std::string response;
    const char* after;
};

// A server that ends the body early, one whose whole body is shorter than announced, and one that stops
// sending half-way and keeps the connection open (this one costs the client's full patience, about a
// minute, before it gives up).
TEST_F(OtaServiceTest, BrokenServersFailTheDownload) {
    std::string image = Image(6000);
    const BrokenServer cases[] = {
        {"closes early", "HTTP/1.1 200 OK\r\nContent-Length: 6000\r\n\r\n" + image.substr(0, 2500), "close"},
        {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 2500\r\n\r\n" + image.substr(0, 2500), "stall"},
        {"stops half-way", "HTTP/1.1 200 OK\r\nContent-Length: 6000\r\n\r\n" + image.substr(0, 3000), "stall"},
    };
    for (const BrokenServer& c : cases) {
        SCOPED_TRACE(c.name);
        published_.clear();
        TlsScriptedPeer peer(certs_);
        ASSERT_TRUE(peer.StartResponding(c.response, c.after));
        std::string url = "https://localhost:" + std::to_string(peer.port()) + "/fw/x.bin";
        ASSERT_EQ(Announce(Announcement(url, std::string(32, '0'), image.size())), 0);
        EXPECT_EQ(Download(), -1);
        std::vector<std::string> steps = Steps();
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front(), "0");
        EXPECT_EQ(steps.back(), "-2");
        EXPECT_EQ(ota_.state(), OtaService::State::kInitialised);
    }
}

TEST_F(OtaServiceTest, UnwritableImageFileReportsWriteFailed) {
    ASSERT_EQ(HAL_Firmware_SetPath(work_.File("no/such/dir/fw.bin").c_str()), 0);
    std::string url = Serve("w.bin", Image(10));
    ASSERT_EQ(Announce(Announcement(url, std::string(32, '0'), 10)), 0);
    EXPECT_EQ(Download(), -1);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"-4"}));
}

TEST_F(OtaServiceTest, DownloadNeedsAnAnnouncementAndABuffer) {
    EXPECT_EQ(ota_.Download(nullptr, 1024), -2);
    char buffer[4];
    EXPECT_EQ(ota_.Download(buffer, 0), -2);
    EXPECT_EQ(Download(), -1);
    EXPECT_TRUE(published_.empty());
}

TEST_F(OtaServiceTest, AnnouncementDuringADownloadIsRefused) {
    CloudLogCapture capture;
    std::string url = Serve("busy.bin", Image(3000));
    std::string payload = Announcement(url, Md5(nginx_->WwwPath("fw/busy.bin")), 3000);
    ASSERT_EQ(Announce(payload), 0);
    int during = 0;
    on_publish_ = [&] {
        if (during == 0) during = Announce(Announcement(url, std::string(32, '1'), 5));
    };
    EXPECT_EQ(Download(), 0);  // the refused announcement did not disturb it
    EXPECT_EQ(during, -1);
    EXPECT_TRUE(capture.Has("In downloading state"));
}

TEST_F(OtaServiceTest, UserIsToldOncePerAnnouncement) {
    std::string event;
    EXPECT_FALSE(ota_.TakeUserNotification(&event));
    std::string url = "https://localhost:" + std::to_string(nginx_->https_port()) + "/fw/absent.bin";
    ASSERT_EQ(Announce(Announcement(url, std::string(32, '0'), 100)), 0);
    ASSERT_TRUE(ota_.TakeUserNotification(&event));
    EXPECT_EQ(event, "{\"version\":\"app-2.0.0\"}");
    EXPECT_FALSE(ota_.TakeUserNotification(&event));
    EXPECT_EQ(Download(), -1);
    // A failed attempt is not retried on its own; a new announcement is passed on again.
    EXPECT_FALSE(ota_.TakeUserNotification(&event));
    ASSERT_EQ(Announce(Announcement(url, std::string(32, '0'), 100)), 0);
    EXPECT_TRUE(ota_.TakeUserNotification(&event));
}

TEST_F(OtaServiceTest, VersionIsEscapedInTheUserEvent) {
    std::string payload =
        "{\"message\":\"success\",\"data\":{\"version\":\"v\\\"1\",\"url\":\"https://h/x\",\"md5\":\"a\",\"size\":1}}";
    ASSERT_EQ(Announce(payload), 0);
    std::string event;
    ASSERT_TRUE(ota_.TakeUserNotification(&event));
    EXPECT_EQ(event, "{\"version\":\"v\\\"1\"}");
}

}  // namespace
