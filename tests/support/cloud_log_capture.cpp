#include "cloud_log_capture.h"

#include "tessera_log.h"

namespace testsupport {
namespace {

void CaptureSink(const tessera_log_record* record, void* context) {
    static_cast<CloudLogCapture*>(context)->Add(
        {record->level, record->module, record->function, record->message, record->text});
}

}  // namespace

CloudLogCapture::CloudLogCapture() {
    IOT_SetLogSink(CaptureSink, this);
    IOT_SetLogLevel(TESSERA_LOG_DEBUG);
}

CloudLogCapture::~CloudLogCapture() {
    IOT_SetLogSink(nullptr, nullptr);
    IOT_SetLogLevel(TESSERA_LOG_INFO);
}

void CloudLogCapture::Add(CloudLogLine line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
}

std::vector<CloudLogLine> CloudLogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

bool CloudLogCapture::Has(const std::string& message) const { return Count(message) > 0; }

bool CloudLogCapture::HasSubstring(const std::string& text) const {
    for (const CloudLogLine& line : Lines()) {
        if (line.message.find(text) != std::string::npos) return true;
    }
    return false;
}

int CloudLogCapture::Count(const std::string& message) const {
    int count = 0;
    for (const CloudLogLine& line : Lines()) count += line.message == message ? 1 : 0;
    return count;
}

std::string CloudLogCapture::Dump() const {
    std::string all;
    for (const CloudLogLine& line : Lines()) all += line.text;
    return all;
}

void CloudLogCapture::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

}  // namespace testsupport
