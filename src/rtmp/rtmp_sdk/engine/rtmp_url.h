// RTMP URLs: scheme://host[:port]/app/playpath, as the engine splits them. Pure functions.
#pragma once

#include <string>

#include "rtmp/rtmp_sdk/engine/amf.h"

struct RTMPParsedURL {
    int protocol = 0;  // RTMP_FEATURE_* bits of the scheme
    AVal host;
    unsigned int port = 0;  // 0 when not given (or not valid)
    AVal app;
    AVal playpath;         // as written in the URL
    const char* app_end = nullptr;  // the URL up to here is the default tcUrl
};

// Splits url; the AVals point into it. 0 when url has no "://" or an unknown scheme.
int RTMP_ParseURL(const char* url, RTMPParsedURL* parsed);
// Percent escapes decoded; ".flv" dropped, ".mp4"/".f4v" prefixed "mp4:", ".mp3" turned into "mp3:".
std::string RTMP_ParsePlaypath(const AVal& in);
