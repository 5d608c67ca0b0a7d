#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

#include <cstdarg>
#include <cstdio>

RTMP_LOGCallback g_rtmp_log_cb = RTMP_LogDefault;
int g_rtmp_log_level = 0;

void RTMP_LogDefault(int level, const char* /*file*/, int /*line*/, const char* fmt, ...) {
    if (level < 0 || level > 4 || level > g_rtmp_log_level) return;
    va_list args;
    va_start(args, fmt);
    vfprintf(stdout, fmt, args);
    va_end(args);
    fputc('\n', stdout);
    fflush(stdout);
}

int RTMP_SetLogLevel(int level) {
    g_rtmp_log_level = level;
    return g_rtmp_log_level;
}

void RTMP_SetLogCallback(RTMP_LOGCallback log_cb) {
    if (log_cb != nullptr) g_rtmp_log_cb = log_cb;
}
