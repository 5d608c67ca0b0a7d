#include "log_capture.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <sstream>

#include "utils/logger.h"

namespace testsupport {

namespace {

std::mutex g_mutex;
std::vector<LogRecord> g_records;

void CapturingSink(int level, const char* file, int line, const char* fmt, ...) {
    char buf[8192];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_records.push_back({level, file != nullptr ? file : "", line, buf});
}

}  // namespace

LogCapture::LogCapture() {
    logger_set_user_define(CapturingSink);
    Clear();
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_records.clear();
}

std::vector<LogRecord> LogCapture::Records() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_records;
}

bool LogCapture::Has(const std::string& text, int level) const {
    for (const auto& record : Records()) {
        if (record.message == text && (level < 0 || record.level == level)) return true;
    }
    return false;
}

bool LogCapture::HasSubstring(const std::string& text) const {
    for (const auto& record : Records()) {
        if (record.message.find(text) != std::string::npos) return true;
    }
    return false;
}

int LogCapture::Count(const std::string& text) const {
    int count = 0;
    for (const auto& record : Records()) count += record.message == text ? 1 : 0;
    return count;
}

std::string LogCapture::Dump() const {
    std::ostringstream out;
    for (const auto& record : Records()) {
        out << "[" << record.level << "] " << record.file << ":" << record.line << " " << record.message << "\n";
    }
    return out.str();
}

}  // namespace testsupport
