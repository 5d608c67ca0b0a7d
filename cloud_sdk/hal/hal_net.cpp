#include "hal/hal_net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "hal/dns_message.h"
#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "hal";
constexpr int kConnectSendTimeoutS = 10;
constexpr int kDnsTimeoutS = 3;
constexpr uint16_t kDnsPort = 53;
constexpr size_t kDnsAnswerMax = 512;  // RFC 1035 4.2.1: UDP messages

struct NameService {
    std::mutex mutex;
    std::vector<sockaddr_in> dns_servers;
    std::vector<uint32_t> fallback_addresses;  // network byte order
};

NameService& Names() {
    static NameService names;
    return names;
}

bool ParseIpv4(const std::string& text, uint32_t* address) {
    in_addr parsed;
    if (!IsDottedAddress(text) || inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    *address = parsed.s_addr;
    return true;
}

// "a.b.c.d" or "a.b.c.d:port".
bool ParseServer(const std::string& text, sockaddr_in* server) {
    size_t colon = text.find(':');
    uint32_t address;
    if (!ParseIpv4(text.substr(0, colon), &address)) return false;
    long port = kDnsPort;
    if (colon != std::string::npos) {
        char* end = nullptr;
        port = strtol(text.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || port <= 0 || port > 65535 || end == text.c_str() + colon + 1) return false;
    }
    memset(server, 0, sizeof(*server));
    server->sin_family = AF_INET;
    server->sin_port = htons(static_cast<uint16_t>(port));
    server->sin_addr.s_addr = address;
    return true;
}

void SetTimeout(int fd, int option, int seconds) {
    timeval timeout{seconds, 0};
    setsockopt(fd, SOL_SOCKET, option, &timeout, sizeof(timeout));
}

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::vector<uint32_t> QueryServer(const sockaddr_in& server, const std::string& host) {
    uint16_t id = static_cast<uint16_t>(std::random_device{}());
    std::vector<uint8_t> query = BuildDnsQuery(host, id);
    Socket sock(socket(AF_INET, SOCK_DGRAM, 0));
    if (query.empty() || sock.get() < 0) return {};
    SetTimeout(sock.get(), SO_SNDTIMEO, kDnsTimeoutS);
    SetTimeout(sock.get(), SO_RCVTIMEO, kDnsTimeoutS);
    const auto* to = reinterpret_cast<const sockaddr*>(&server);
    if (sendto(sock.get(), query.data(), query.size(), 0, to, sizeof(server)) != static_cast<ssize_t>(query.size())) {
        return {};
    }
    uint8_t answer[kDnsAnswerMax];
    sockaddr_in from;
    socklen_t from_length = sizeof(from);
    ssize_t got = recvfrom(sock.get(), answer, sizeof(answer), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    // Only the server asked may answer.
    if (got <= 0 || from.sin_addr.s_addr != server.sin_addr.s_addr || from.sin_port != server.sin_port) return {};
    return ParseDnsAnswer(answer, static_cast<size_t>(got), id);
}

// The configured servers in turn, then the fallback addresses.
std::vector<uint32_t> ResolveWithOwnServers(const std::string& host) {
    std::vector<sockaddr_in> servers;
    std::vector<uint32_t> fallback;
    {
        NameService& names = Names();
        std::lock_guard<std::mutex> lock(names.mutex);
        servers = names.dns_servers;
        fallback = names.fallback_addresses;
    }
    for (const sockaddr_in& server : servers) {
        std::vector<uint32_t> addresses = QueryServer(server, host);
        if (!addresses.empty()) return addresses;
    }
    return servers.empty() ? std::vector<uint32_t>{} : fallback;
}

int ConnectAddress(const sockaddr* address, socklen_t length) {
    Socket sock(socket(address->sa_family, SOCK_STREAM, 0));
    if (sock.get() < 0) return -1;
    SetTimeout(sock.get(), SO_SNDTIMEO, kConnectSendTimeoutS);
    SDK_DEBUG(kModule, "setsockopt SO_SNDTIMEO timeout: %ds", kConnectSendTimeoutS);
    if (connect(sock.get(), address, length) != 0) return -1;
    return sock.release();
}

int ConnectIpv4(const std::vector<uint32_t>& addresses, uint16_t port) {
    for (uint32_t address : addresses) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = address;
        int fd = ConnectAddress(reinterpret_cast<sockaddr*>(&target), sizeof(target));
        if (fd >= 0) return fd;
    }
    return -1;
}

int ConnectWithSystemResolver(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    std::string service = std::to_string(port);
    addrinfo* results = nullptr;
    int rc;
    while ((rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &results)) == EAI_AGAIN) {
        SDK_WARN(kModule, "getaddrinfo res_init, rc is %d, errno is %d\n", rc, errno);
        res_init();
    }
    if (rc != 0) {
        SDK_ERR(kModule, "getaddrinfo error[%d], res: %s, host: %s, port: %s\n", rc, gai_strerror(rc), host.c_str(),
                service.c_str());
        return -1;
    }
    int fd = -1;
    for (addrinfo* entry = results; entry != nullptr && fd < 0; entry = entry->ai_next) {
        fd = ConnectAddress(entry->ai_addr, entry->ai_addrlen);
    }
    freeaddrinfo(results);
    return fd;
}

}  // namespace

bool IsDottedAddress(const std::string& host) {
    if (host.empty() || host.size() > 15) return false;
    return host.find_first_not_of("0123456789.") == std::string::npos;
}

int ConnectTcp(const std::string& host, uint16_t port) {
    uint32_t numeric;
    if (IsDottedAddress(host)) return ParseIpv4(host, &numeric) ? ConnectIpv4({numeric}, port) : -1;
    if (host != "localhost") {
        int fd = ConnectIpv4(ResolveWithOwnServers(host), port);
        if (fd >= 0) return fd;
    }
    return ConnectWithSystemResolver(host, port);
}

}  // namespace tessera

extern "C" int HAL_SetDnsServers(const char* const* servers, int count) {
    if (count < 0 || count > HAL_DNS_SERVER_MAX || (count > 0 && servers == nullptr)) return -1;
    std::vector<sockaddr_in> parsed(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (servers[i] == nullptr || !tessera::ParseServer(servers[i], &parsed[i])) return -1;
    }
    tessera::NameService& names = tessera::Names();
    std::lock_guard<std::mutex> lock(names.mutex);
    names.dns_servers = std::move(parsed);
    return 0;
}

extern "C" int HAL_SetFallbackAddresses(const char* const* addresses, int count) {
    if (count < 0 || count > HAL_FALLBACK_ADDRESS_MAX || (count > 0 && addresses == nullptr)) return -1;
    std::vector<uint32_t> parsed(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (addresses[i] == nullptr || !tessera::ParseIpv4(addresses[i], &parsed[i])) return -1;
    }
    tessera::NameService& names = tessera::Names();
    std::lock_guard<std::mutex> lock(names.mutex);
    names.fallback_addresses = std::move(parsed);
    return 0;
}
