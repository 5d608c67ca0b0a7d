// RTMP_SetupURL: the link parameters of a connection, from the URL and its options.
#include <cstdlib>
#include <cstring>

#include "rtmp/rtmp_sdk/engine/rtmp.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"
#include "rtmp/rtmp_sdk/engine/rtmp_url.h"

namespace {

constexpr unsigned short kDefaultPort = 1935;
constexpr unsigned short kHttpPort = 80;
constexpr unsigned short kTlsPort = 443;

struct TextOption {
    const char* name;
    AVal RTMP_LNK::*field;
};

const TextOption kTextOptions[] = {
    {"app", &RTMP_LNK::app},         {"tcUrl", &RTMP_LNK::tcUrl},       {"pageUrl", &RTMP_LNK::pageUrl},
    {"swfUrl", &RTMP_LNK::swfUrl},   {"flashVer", &RTMP_LNK::flashVer}, {"playpath", &RTMP_LNK::playpath},
    {"auth", &RTMP_LNK::auth},
};

struct NumberOption {
    const char* name;
    int RTMP_LNK::*field;
};

const NumberOption kNumberOptions[] = {
    {"timeout", &RTMP_LNK::timeout},
    {"swfAge", &RTMP_LNK::swfAge},
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A backslash and two hex digits stand for one byte; decoded in place.
int UnescapeInPlace(char* value) {
    char* out = value;
    for (const char* in = value; *in != '\0'; ++in) {
        if (in[0] == '\\' && HexDigit(in[1]) >= 0 && HexDigit(in[2]) >= 0) {
            *out++ = static_cast<char>(HexDigit(in[1]) * 16 + HexDigit(in[2]));
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
    return static_cast<int>(out - value);
}

bool ApplyOption(RTMP_LNK* link, const char* name, char* value) {
    const AVal text{value, UnescapeInPlace(value)};
    for (const TextOption& option : kTextOptions) {
        if (strcmp(name, option.name) == 0) {
            link->*option.field = text;
            return true;
        }
    }
    for (const NumberOption& option : kNumberOptions) {
        if (strcmp(name, option.name) == 0) {
            link->*option.field = atoi(value);
            return true;
        }
    }
    RTMP_LOGE("Unknown option %s", name);
    return false;
}

// Options are name=value words separated by blanks.
bool ApplyOptions(RTMP_LNK* link, char* options) {
    char* saved = nullptr;
    for (char* word = strtok_r(options, " ", &saved); word != nullptr; word = strtok_r(nullptr, " ", &saved)) {
        char* equals = strchr(word, '=');
        if (equals == nullptr) {
            RTMP_LOGE("Unknown option %s", word);
            return false;
        }
        *equals = '\0';
        if (!ApplyOption(link, word, equals + 1)) return false;
    }
    return true;
}

unsigned short DefaultPort(int protocol) {
    if (protocol & RTMP_FEATURE_SSL) return kTlsPort;
    return (protocol & RTMP_FEATURE_HTTP) ? kHttpPort : kDefaultPort;
}

}  // namespace

int RTMP_SetupURL(RTMP* r, char* url) {
    RTMP_LNK& link = r->Link;
    char* blank = strchr(url, ' ');
    if (blank != nullptr) *blank = '\0';
    RTMPParsedURL parsed;
    if (!RTMP_ParseURL(url, &parsed)) return 0;
    link.protocol = parsed.protocol | (link.protocol & RTMP_FEATURE_WRITE);
    link.hostname = parsed.host;
    link.port = static_cast<unsigned short>(parsed.port);
    link.app = parsed.app;
    link.playpath0 = parsed.playpath;
    link.playpath_storage = RTMP_ParsePlaypath(parsed.playpath);
    link.playpath = AVal{link.playpath_storage.data(), static_cast<int>(link.playpath_storage.size())};
    if (blank != nullptr && !ApplyOptions(&link, blank + 1)) return 0;
    if (link.tcUrl.av_len == 0) link.tcUrl = AVal{url, static_cast<int>(parsed.app_end - url)};
    if (link.port == 0) link.port = DefaultPort(link.protocol);
    return 1;
}
