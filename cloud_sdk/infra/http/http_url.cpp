#include "infra/http/http_url.h"

#include <cstdlib>

#include "infra/utils/sdk_log.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "httpc";
constexpr int kUrlTooLong = -7;
constexpr int kNoPath = -1;

// "host" or "host:port"; a port must be 1..65535.
bool SplitAuthority(const std::string& authority, HttpUrl* out) {
    size_t colon = authority.rfind(':');
    out->host = authority.substr(0, colon);
    if (colon == std::string::npos) return !out->host.empty();
    std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    int port = atoi(digits.c_str());
    if (port < 1 || port > 65535 || out->host.empty()) return false;
    out->port = port;
    out->port_in_url = true;
    return true;
}

}  // namespace

int ParseHttpUrl(const std::string& url, int default_port, HttpUrl* out) {
    size_t scheme_end = url.find("://");
    if (scheme_end == std::string::npos) {
        SDK_ERR(kModule, "Could not find host");
        return kUrlTooLong;
    }
    if (scheme_end > kHttpSchemeMax) {
        SDK_ERR(kModule, "Scheme str is too small (%u >= %u)", static_cast<unsigned>(scheme_end),
                static_cast<unsigned>(kHttpSchemeMax + 1));
        return kUrlTooLong;
    }
    size_t host_start = scheme_end + 3;
    size_t path_start = url.find('/', host_start);
    if (path_start == std::string::npos) {
        SDK_ERR(kModule, "invalid path");
        return kNoPath;
    }
    size_t host_length = path_start - host_start;
    if (host_length >= kHttpHostBuffer) {
        SDK_ERR(kModule, "Host str is too long (host_len(%d) >= max_len(%d))", static_cast<int>(host_length),
                static_cast<int>(kHttpHostBuffer));
        return kUrlTooLong;
    }
    out->port = default_port;
    out->port_in_url = false;
    if (!SplitAuthority(url.substr(host_start, host_length), out)) {
        SDK_ERR(kModule, "Could not find host");
        return kUrlTooLong;
    }
    size_t fragment = url.find('#', path_start);
    size_t path_length = (fragment == std::string::npos ? url.size() : fragment) - path_start;
    if (path_length >= kHttpPathBuffer) {
        SDK_ERR(kModule, "Path str is too small (%d >= %d)", static_cast<int>(path_length),
                static_cast<int>(kHttpPathBuffer));
        return kUrlTooLong;
    }
    out->path = url.substr(path_start, path_length);
    return 0;
}

}  // namespace tessera
