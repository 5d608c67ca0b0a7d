#include "infra/utils/sdk_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace tessera {
namespace {

constexpr size_t kLineMax = 512;  // longer lines are cut and marked
constexpr const char kCutMark[] = " ...";
constexpr const char kLineEnd[] = "\r\n";

const char* const kLevelNames[] = {"none", "crt", "err", "wrn", "inf", "dbg"};

std::atomic<int> g_threshold{TESSERA_LOG_INFO};

struct SinkSlot {
    std::mutex mutex;
    tessera_log_sink sink = nullptr;
    void* context = nullptr;
};

SinkSlot& Sink() {
    static SinkSlot slot;
    return slot;
}

void PrintToStdout(const tessera_log_record* record, void*) {
    fputs(record->text, stdout);
    fflush(stdout);
}

void Deliver(const tessera_log_record& record) {
    tessera_log_sink sink;
    void* context;
    {
        SinkSlot& slot = Sink();
        std::lock_guard<std::mutex> lock(slot.mutex);
        sink = slot.sink != nullptr ? slot.sink : PrintToStdout;
        context = slot.context;
    }
    sink(&record, context);
}

}  // namespace

bool LogEnabled(int level) { return level > TESSERA_LOG_NONE && level <= g_threshold.load(); }

void LogLine(int level, const char* module, const char* function, int line, const char* fmt, ...) {
    if (!LogEnabled(level) || level > TESSERA_LOG_DEBUG) return;
    char text[kLineMax + sizeof(kCutMark) + sizeof(kLineEnd)];
    int prefix = snprintf(text, kLineMax + 1, "[%s] %s|%s(%d): ", kLevelNames[level], module, function, line);
    if (prefix < 0) return;
    size_t used = static_cast<size_t>(prefix) < kLineMax ? static_cast<size_t>(prefix) : kLineMax;
    va_list args;
    va_start(args, fmt);
    int wanted = vsnprintf(text + used, kLineMax + 1 - used, fmt, args);
    va_end(args);
    bool cut = static_cast<size_t>(prefix) > kLineMax || (wanted > 0 && used + wanted > kLineMax);
    size_t end = cut ? kLineMax : used + (wanted > 0 ? wanted : 0);
    if (cut) {
        memcpy(text + end, kCutMark, sizeof(kCutMark) - 1);
        end += sizeof(kCutMark) - 1;
    }
    memcpy(text + end, kLineEnd, sizeof(kLineEnd));

    std::string message(text + used, end - used);
    tessera_log_record record{level, module, function, line, message.c_str(), text};
    Deliver(record);
}

}  // namespace tessera

extern "C" int IOT_SetLogLevel(int level) {
    if (level < TESSERA_LOG_NONE || level > TESSERA_LOG_DEBUG) {
        SDK_ERR("utils", "Invalid input level: %d out of [%d, %d]", level, TESSERA_LOG_NONE, TESSERA_LOG_DEBUG);
        return -1;
    }
    tessera::g_threshold.store(level);
    return 0;
}

extern "C" void IOT_SetLogSink(tessera_log_sink sink, void* context) {
    tessera::SinkSlot& slot = tessera::Sink();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.sink = sink;
    slot.context = context;
}
