// Logging inside the cloud device SDK: each line names its module, function and source line.
#pragma once

#include "tessera_log.h"

namespace tessera {

// Formats and hands one line to the sink when level is within the threshold.
void LogLine(int level, const char* module, const char* function, int line, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));

bool LogEnabled(int level);

}  // namespace tessera

#define SDK_LOG(level, module, fmt, ...) \
    ::tessera::LogLine((level), (module), __func__, __LINE__, fmt, ##__VA_ARGS__)
#define SDK_ERR(module, fmt, ...) SDK_LOG(TESSERA_LOG_ERR, module, fmt, ##__VA_ARGS__)
#define SDK_WARN(module, fmt, ...) SDK_LOG(TESSERA_LOG_WARNING, module, fmt, ##__VA_ARGS__)
#define SDK_INFO(module, fmt, ...) SDK_LOG(TESSERA_LOG_INFO, module, fmt, ##__VA_ARGS__)
#define SDK_DEBUG(module, fmt, ...) SDK_LOG(TESSERA_LOG_DEBUG, module, fmt, ##__VA_ARGS__)
