#include "utils/logger.h"

#include <sys/time.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {

const char* const LOGGER_LEVEL_NAME[LEVEL_MAX] = {
    "OV-ERROR  ", "OV-WARN   ", "OV-INFO   ", "OV-DEBUG  ", "OV-VERBOSE",
};

const char* const LOGGER_LEVEL_COLOR[LEVEL_MAX] = {
    "\033[31m", "\033[31m", "\033[33m", "\033[32m", "\033[32m",
};

const char* const LOGGER_COLOR_RESET = "\033[0m";

}  // namespace

logger_cb g_logger_cb = logger_printf;
int g_logger_level = LEVEL_DEBUG;

void logger_printf(int level, const char* file, int line, const char* fmt, ...) {
    if (level < LEVEL_ERROR || level >= LEVEL_MAX || level > g_logger_level) return;

    struct timeval now;
    gettimeofday(&now, nullptr);
    time_t seconds = now.tv_sec;
    struct tm local;
    localtime_r(&seconds, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%y-%m-%d-%H:%M:%S", &local);
    char time_text[48];
    snprintf(time_text, sizeof(time_text), "%s.%03d", stamp, static_cast<int>(now.tv_usec / 1000));

    // Three separate writes: other threads' records may interleave between them, never inside one.
    FILE* out = level == LEVEL_ERROR ? stderr : stdout;
    fprintf(out, "%s[%s|%s] (%s:%d) : %s", LOGGER_LEVEL_COLOR[level], LOGGER_LEVEL_NAME[level], time_text,
            file, line, LOGGER_COLOR_RESET);
    va_list args;
    va_start(args, fmt);
    vfprintf(out, fmt, args);
    va_end(args);
    fputc('\n', out);
    fflush(out);
}

void logger_set_level(int level) {
    if (level >= LEVEL_ERROR && level < LEVEL_MAX) g_logger_level = level;
}

void logger_set_user_define(logger_cb log_cb) {
    if (log_cb != nullptr) g_logger_cb = log_cb;
}
