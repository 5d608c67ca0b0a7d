// TLS connections against the scripted Python peer (its own TLS stack) on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "cloud_log_capture.h"
#include "peers.h"
#include "tessera_hal.h"
#include "tls_scripted_peer.h"

using testsupport::CloudLogCapture;
using testsupport::TempDir;
using testsupport::TestCertificates;
using testsupport::TlsScriptedPeer;

namespace {

class HalTlsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ASSERT_TRUE(testsupport::MakeTestCertificates(dir_->path(), &certs_));
        ca_ = certs_.Pem("ca.crt");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override { HAL_SetDnsServers(nullptr, 0); }

    static uintptr_t Connect(const char* host, int port) {
        return HAL_SSL_Establish(host, static_cast<uint16_t>(port), ca_.c_str(), static_cast<uint32_t>(ca_.size() + 1));
    }

    static TempDir* dir_;
    static TestCertificates certs_;
    static std::string ca_;
};

TempDir* HalTlsTest::dir_ = nullptr;
TestCertificates HalTlsTest::certs_;
std::string HalTlsTest::ca_;

TEST_F(HalTlsTest, TrustedLocalhostConnectsAndCarriesBytesBothWays) {
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("echo"));
    uintptr_t tls = Connect("localhost", peer.port());
    ASSERT_NE(tls, 0u);
    std::string big(100000, 'z');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(HAL_SSL_Write(tls, big.data(), static_cast<int>(big.size()), 5000), static_cast<int>(big.size()));
    std::string back(big.size(), '\0');
    EXPECT_EQ(HAL_SSL_Read(tls, &back[0], static_cast<int>(back.size()), 5000), static_cast<int>(big.size()));
    EXPECT_EQ(back, big);
    EXPECT_EQ(HAL_SSL_Destroy(tls), 0);
}

struct RefusedCase {
    const char* cert_name;
    const char* message;
};

TEST_F(HalTlsTest, UntrustedOrWronglyNamedServerIsRefused) {
    const RefusedCase cases[] = {
        {"other", "! fail ! self-signed or not signed by a trusted CA"},
        {"wrongname", "! fail ! CN mismatch"},
    };
    for (const RefusedCase& c : cases) {
        CloudLogCapture capture;
        TlsScriptedPeer peer(certs_, c.cert_name);
        ASSERT_TRUE(peer.Start("echo"));
        EXPECT_EQ(Connect("localhost", peer.port()), 0u) << c.cert_name;
        EXPECT_TRUE(capture.Has(c.message)) << capture.Dump();
        EXPECT_TRUE(capture.HasSubstring("failed  ! mbedtls_ssl_handshake returned -0x"));
    }
}

TEST_F(HalTlsTest, ServerWithoutTls12IsRefused) {
    CloudLogCapture capture;
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("echo", {"--max-tls", "1.1"}));
    EXPECT_EQ(Connect("localhost", peer.port()), 0u);
    EXPECT_TRUE(capture.HasSubstring("mbedtls_ssl_handshake returned")) << capture.Dump();
}

TEST_F(HalTlsTest, BadArgumentsAndUnparsableCaAreRefused) {
    CloudLogCapture capture;
    EXPECT_EQ(HAL_SSL_Establish(nullptr, 443, ca_.c_str(), 10), 0u);
    EXPECT_TRUE(capture.Has("input params are NULL, abort"));
    EXPECT_EQ(HAL_SSL_Establish("bad host", 443, ca_.c_str(), 10), 0u);
    EXPECT_TRUE(capture.Has("invalid host: 'bad host'(len=8), abort"));
    const char junk[] = "-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n";
    EXPECT_EQ(HAL_SSL_Establish("localhost", 1, junk, sizeof(junk)), 0u);
    EXPECT_TRUE(capture.HasSubstring(" failed ! x509parse_crt returned -0x"));
    EXPECT_EQ(HAL_SSL_Destroy(0), -1);
    EXPECT_TRUE(capture.Has("handle is NULL"));
}

TEST_F(HalTlsTest, NothingListeningFailsTheConnect) {
    CloudLogCapture capture;
    EXPECT_EQ(Connect("localhost", testsupport::FreeLoopbackPort()), 0u);
    EXPECT_TRUE(capture.Has(" failed ! net_connect returned -0x0044")) << capture.Dump();
}

TEST_F(HalTlsTest, SilentPeerEndsTheReadWithZeroAfterTheTimeout) {
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("silent"));
    uintptr_t tls = Connect("localhost", peer.port());
    ASSERT_NE(tls, 0u);
    char buffer[16];
    EXPECT_EQ(HAL_SSL_Read(tls, buffer, sizeof(buffer), 200), 0);
    EXPECT_EQ(HAL_SSL_Read(tls, buffer, sizeof(buffer), 200), 0);
    HAL_SSL_Destroy(tls);
}

TEST_F(HalTlsTest, CloseNotifyEndsWithTheBytesAndThenMinusTwo) {
    CloudLogCapture capture;
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("close"));
    uintptr_t tls = Connect("localhost", peer.port());
    ASSERT_NE(tls, 0u);
    char buffer[16] = {};
    EXPECT_EQ(HAL_SSL_Read(tls, buffer, sizeof(buffer), 5000), 3);
    EXPECT_EQ(std::string(buffer, 3), "bye");
    EXPECT_EQ(HAL_SSL_Read(tls, buffer, sizeof(buffer), 5000), -2);
    EXPECT_EQ(HAL_SSL_Read(tls, buffer, sizeof(buffer), 5000), -2);
    EXPECT_TRUE(capture.HasSubstring("ssl recv error: code = ")) << capture.Dump();
    HAL_SSL_Destroy(tls);
}

// A UDP socket on loopback standing in for a DNS server; it answers every A query with 127.0.0.1.
class FakeDnsServer {
public:
    FakeDnsServer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeDnsServer() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
    int queries() const { return queries_; }

private:
    void Serve() {
        while (!stop_) {
            pollfd wait{fd_, POLLIN, 0};
            if (poll(&wait, 1, 50) <= 0) continue;
            uint8_t query[512];
            sockaddr_in from{};
            socklen_t length = sizeof(from);
            ssize_t got = recvfrom(fd_, query, sizeof(query), 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 12) continue;
            ++queries_;
            std::string answer(reinterpret_cast<char*>(query), static_cast<size_t>(got));
            answer[2] = '\x81';
            answer[3] = '\x80';
            answer[7] = 1;  // one answer: pointer to the question, A, IN, TTL 60, 127.0.0.1
            answer += std::string("\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04\x7f\x00\x00\x01", 16);
            sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }
    int fd_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

TEST_F(HalTlsTest, ConfiguredDnsServerResolvesOtherNames) {
    CloudLogCapture capture;
    FakeDnsServer dns;
    std::string server = dns.endpoint();
    const char* servers[] = {server.c_str()};
    ASSERT_EQ(HAL_SetDnsServers(servers, 1), 0);
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("echo"));
    // The name reaches the peer through the fake server; the peer's certificate does not carry it.
    EXPECT_EQ(Connect("device.test", peer.port()), 0u);
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_TRUE(capture.Has("! fail ! CN mismatch")) << capture.Dump();
}

TEST_F(HalTlsTest, NumericHostAndLocalhostNeverAskTheDnsServers) {
    FakeDnsServer dns;
    std::string server = dns.endpoint();
    const char* servers[] = {server.c_str()};
    ASSERT_EQ(HAL_SetDnsServers(servers, 1), 0);
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("echo"));
    uintptr_t tls = Connect("localhost", peer.port());
    EXPECT_NE(tls, 0u);
    HAL_SSL_Destroy(tls);
    Connect("127.0.0.1", peer.port());  // the name check fails: mbedtls matches no IP names
    EXPECT_EQ(dns.queries(), 0);
}

// A DNS server that never answers: after its time-out the fallback addresses are tried.
TEST_F(HalTlsTest, FallbackAddressesFollowASilentDnsServer) {
    CloudLogCapture capture;
    int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    std::string server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    const char* servers[] = {server.c_str()};
    const char* fallback[] = {"127.0.0.1"};
    ASSERT_EQ(HAL_SetDnsServers(servers, 1), 0);
    ASSERT_EQ(HAL_SetFallbackAddresses(fallback, 1), 0);
    TlsScriptedPeer peer(certs_);
    ASSERT_TRUE(peer.Start("echo"));
    EXPECT_EQ(Connect("device.test", peer.port()), 0u);
    EXPECT_TRUE(capture.Has("! fail ! CN mismatch")) << "the TCP connection reached the peer\n" << capture.Dump();
    HAL_SetFallbackAddresses(nullptr, 0);
    close(silent);
}

TEST(HalNameService, BadConfigurationIsRefused) {
    const char* bad_servers[] = {"127.0.0.1:0", "127.0.0.1:x", "dns.example", "1.2.3.4:70000"};
    for (const char* server : bad_servers) EXPECT_EQ(HAL_SetDnsServers(&server, 1), -1) << server;
    const char* four[] = {"127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1"};
    EXPECT_EQ(HAL_SetDnsServers(four, 4), -1);
    EXPECT_EQ(HAL_SetFallbackAddresses(four, 3), 0);
    EXPECT_EQ(HAL_SetFallbackAddresses(bad_servers, 1), -1);
    EXPECT_EQ(HAL_SetFallbackAddresses(nullptr, 0), 0);
}

TEST(HalCaCert, CallersCaReplacesTheBuiltInOneUntilReset) {
    EXPECT_EQ(HAL_GetCACert(), HAL_BUILTIN_ROOT_CA_PEM);
    EXPECT_EQ(IOT_SetCACert("not a certificate"), -1);
    EXPECT_EQ(HAL_GetCACert(), HAL_BUILTIN_ROOT_CA_PEM);
    TempDir dir;
    TestCertificates certs;
    ASSERT_TRUE(testsupport::MakeTestCertificates(dir.path(), &certs));
    std::string ca = certs.Pem("ca.crt");
    ASSERT_EQ(IOT_SetCACert(ca.c_str()), 0);
    EXPECT_EQ(std::string(HAL_GetCACert()), ca);
    ASSERT_EQ(IOT_SetCACert(nullptr), 0);
    EXPECT_EQ(HAL_GetCACert(), HAL_BUILTIN_ROOT_CA_PEM);
}

}  // namespace
