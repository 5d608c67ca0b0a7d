#include "sdk_log_capture.h"

namespace tessera::testing {

SdkLogCapture::SdkLogCapture() {
    IOT_SetLogLevel(TESSERA_LOG_DEBUG);
    IOT_SetLogSink(&SdkLogCapture::Sink, this);
}

SdkLogCapture::~SdkLogCapture() { IOT_SetLogSink(nullptr, nullptr); }

void SdkLogCapture::Sink(const tessera_log_record* record, void* context) {
    auto* self = static_cast<SdkLogCapture*>(context);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->messages_.emplace_back(record->message);
}

std::vector<std::string> SdkLogCapture::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

int SdkLogCapture::Count(const std::string& message) const {
    int count = 0;
    for (const std::string& m : Messages()) count += m == message ? 1 : 0;
    return count;
}

std::vector<std::string> SdkLogCapture::WithPrefix(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& m : Messages()) {
        if (m.compare(0, prefix.size(), prefix) == 0) found.push_back(m);
    }
    return found;
}

std::string SdkLogCapture::Dump() const {
    std::string all;
    for (const std::string& m : Messages()) all += m + "\n";
    return all;
}

}  // namespace tessera::testing
