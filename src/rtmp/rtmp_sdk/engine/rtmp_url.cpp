#include "rtmp/rtmp_sdk/engine/rtmp_url.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "rtmp/rtmp_sdk/engine/rtmp.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace {

constexpr int kMaxHostLength = 255;
constexpr unsigned int kMaxPort = 65535;

struct Scheme {
    const char* name;
    int protocol;
};

const Scheme kSchemes[] = {
    {"rtmp", RTMP_PROTOCOL_RTMP},     {"rtmpt", RTMP_PROTOCOL_RTMPT},   {"rtmps", RTMP_PROTOCOL_RTMPS},
    {"rtmpe", RTMP_PROTOCOL_RTMPE},   {"rtmfp", RTMP_PROTOCOL_RTMFP},   {"rtmpte", RTMP_PROTOCOL_RTMPTE},
    {"rtmpts", RTMP_PROTOCOL_RTMPTS},
};

bool FindScheme(const char* url, size_t length, int* protocol) {
    for (const Scheme& scheme : kSchemes) {
        if (strlen(scheme.name) == length && strncasecmp(url, scheme.name, length) == 0) {
            *protocol = scheme.protocol;
            return true;
        }
    }
    return false;
}

const char* ParsePort(const char* p, unsigned int* port) {
    unsigned long value = 0;
    const char* digits = p;
    while (isdigit(static_cast<unsigned char>(*p)) && p - digits < 6) value = value * 10 + static_cast<unsigned>(*p++ - '0');
    while (isdigit(static_cast<unsigned char>(*p))) ++p;  // too long: not a port
    if (p - digits <= 5 && value <= kMaxPort) *port = static_cast<unsigned int>(value);
    return p;
}

// The application ends at the third slash inside the path, else the second, else the first.
size_t ApplicationLength(const char* path) {
    const char* slashes[3] = {nullptr, nullptr, nullptr};
    const char* p = path;
    for (int i = 0; i < 3 && (p = strchr(p, '/')) != nullptr; ++i, ++p) slashes[i] = p;
    for (int i = 2; i >= 0; --i) {
        if (slashes[i] != nullptr) return static_cast<size_t>(slashes[i] - path);
    }
    return strlen(path);
}

void SplitPath(const char* path, RTMPParsedURL* parsed) {
    static const char kOnDemand[] = "ondemand/";
    size_t app_length = 0;
    const char* playpath = nullptr;
    const char* query = strchr(path, '?');
    if (strncmp(path, kOnDemand, sizeof kOnDemand - 1) == 0) {
        app_length = sizeof kOnDemand - 2;
        playpath = path + sizeof kOnDemand - 1;
    } else if (query != nullptr && strstr(query, "slist=") != nullptr) {
        app_length = static_cast<size_t>(query - path);
        playpath = query + 1;
    } else {
        app_length = ApplicationLength(path);
        playpath = path[app_length] == '/' ? path + app_length + 1 : path + app_length;
    }
    parsed->app = AVal{path, static_cast<int>(app_length)};
    parsed->app_end = path + app_length;
    parsed->playpath = AVal{playpath, static_cast<int>(strlen(playpath))};
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string DecodePercent(const AVal& in) {
    std::string out;
    out.reserve(static_cast<size_t>(in.av_len));
    for (int i = 0; i < in.av_len; ++i) {
        const int high = i + 2 < in.av_len ? HexValue(in.av_val[i + 1]) : -1;
        const int low = i + 2 < in.av_len ? HexValue(in.av_val[i + 2]) : -1;
        if (in.av_val[i] == '%' && high >= 0 && low >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(in.av_val[i]);
        }
    }
    return out;
}

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t n = strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

int RTMP_ParseURL(const char* url, RTMPParsedURL* parsed) {
    *parsed = RTMPParsedURL{};
    const char* separator = strstr(url, "://");
    if (separator == nullptr) {
        RTMP_LOGE("RTMP URL: No :// in url!");
        return 0;
    }
    if (!FindScheme(url, static_cast<size_t>(separator - url), &parsed->protocol)) {
        RTMP_LOGE("%s, unknown protocol", __func__);
        return 0;
    }
    const char* host = separator + 3;
    const size_t host_length = strcspn(host, ":/");
    if (host_length <= static_cast<size_t>(kMaxHostLength)) {
        parsed->host = AVal{host, static_cast<int>(host_length)};
    } else {
        RTMP_LOGE("%s, hostname exceeds %d characters", __func__, kMaxHostLength);
    }
    const char* p = host + host_length;
    if (*p == ':') p = ParsePort(p + 1, &parsed->port);
    parsed->app_end = p;
    if (*p == '/') SplitPath(p + 1, parsed);
    return 1;
}

std::string RTMP_ParsePlaypath(const AVal& in) {
    const std::string decoded = DecodePercent(in);
    const size_t query_at = decoded.find('?');
    std::string core = decoded.substr(0, query_at);
    const std::string query = query_at == std::string::npos ? std::string() : decoded.substr(query_at);
    std::string prefix;
    if (EndsWith(core, ".flv")) {
        core.resize(core.size() - 4);
    } else if (EndsWith(core, ".mp4") || EndsWith(core, ".f4v")) {
        if (core.compare(0, 4, "mp4:") != 0) prefix = "mp4:";
    } else if (EndsWith(core, ".mp3")) {
        core.resize(core.size() - 4);
        if (core.compare(0, 4, "mp3:") != 0) prefix = "mp3:";
    }
    return prefix + core + query;
}
