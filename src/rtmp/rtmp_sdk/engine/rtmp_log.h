// The RTMP engine's own log sink; ov_init points it at the SDK sink.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*RTMP_LOGCallback)(int level, const char* file, int line, const char* fmt, ...);

extern RTMP_LOGCallback g_rtmp_log_cb;
extern int g_rtmp_log_level;

void RTMP_LogDefault(int level, const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
int RTMP_SetLogLevel(int level);
void RTMP_SetLogCallback(RTMP_LOGCallback log_cb);

#ifdef __cplusplus
}
#endif

// Levels as the SDK logger's: 0 error .. 4 verbose.
#define RTMP_LOG(level, fmt, ...) g_rtmp_log_cb((level), __FILE_NAME__, __LINE__, fmt, ##__VA_ARGS__)
#define RTMP_LOGE(fmt, ...) RTMP_LOG(0, fmt, ##__VA_ARGS__)
#define RTMP_LOGW(fmt, ...) RTMP_LOG(1, fmt, ##__VA_ARGS__)
#define RTMP_LOGI(fmt, ...) RTMP_LOG(2, fmt, ##__VA_ARGS__)
#define RTMP_LOGD(fmt, ...) RTMP_LOG(3, fmt, ##__VA_ARGS__)
#define RTMP_LOGV(fmt, ...) RTMP_LOG(4, fmt, ##__VA_ARGS__)
