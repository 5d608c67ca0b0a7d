// Splitting a request URL into the parts the client needs (RFC 3986 3).
#pragma once

#include <string>

namespace tessera {

constexpr size_t kHttpSchemeMax = 7;
constexpr size_t kHttpHostBuffer = 128;  // host with its terminator
constexpr size_t kHttpPathBuffer = 1024; // path and query with the terminator

struct HttpUrl {
    std::string host;         // without the port
    int port = 0;             // the URL's port, or the default given
    bool port_in_url = false;
    std::string path;         // from the first "/" after the host up to "#", query included
};

// 0, -7 (scheme too long, no "://", host or path too long, bad port) or -1 (no path); logs the reason.
int ParseHttpUrl(const std::string& url, int default_port, HttpUrl* out);

}  // namespace tessera
