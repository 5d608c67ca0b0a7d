// The camera SDK's process-wide log sink.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    LEVEL_ERROR = 0,
    LEVEL_WARN = 1,
    LEVEL_INFO = 2,
    LEVEL_DEBUG = 3,
    LEVEL_VERBOSE = 4,
    LEVEL_MAX = 5,
} LoggerLevel;

typedef void (*logger_cb)(int level, const char* file, int line, const char* fmt, ...);

// Read at every log call; replaced only at start-up and by ov_control.
extern logger_cb g_logger_cb;
extern int g_logger_level;

void logger_printf(int level, const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
void logger_set_level(int level);
void logger_set_user_define(logger_cb log_cb);

#ifdef __cplusplus
}
#endif

// Every component logs with the base name of its own source file.
#define OV_LOG(level, fmt, ...) g_logger_cb((level), __FILE_NAME__, __LINE__, fmt, ##__VA_ARGS__)
#define LOGE(fmt, ...) OV_LOG(LEVEL_ERROR, fmt, ##__VA_ARGS__)
#define LOGW(fmt, ...) OV_LOG(LEVEL_WARN, fmt, ##__VA_ARGS__)
#define LOGI(fmt, ...) OV_LOG(LEVEL_INFO, fmt, ##__VA_ARGS__)
#define LOGD(fmt, ...) OV_LOG(LEVEL_DEBUG, fmt, ##__VA_ARGS__)
#define LOGV(fmt, ...) OV_LOG(LEVEL_VERBOSE, fmt, ##__VA_ARGS__)
