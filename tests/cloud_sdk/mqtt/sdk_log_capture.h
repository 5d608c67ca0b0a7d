// Collects the cloud SDK's log messages through its sink, so tests check the exact texts.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tessera_log.h"

namespace tessera::testing {

class SdkLogCapture {
public:
    SdkLogCapture();  // installs the sink at debug level
    ~SdkLogCapture();  // restores the default sink
    SdkLogCapture(const SdkLogCapture&) = delete;
    SdkLogCapture& operator=(const SdkLogCapture&) = delete;

    std::vector<std::string> Messages() const;
    int Count(const std::string& message) const;
    // Messages that begin with prefix, in order.
    std::vector<std::string> WithPrefix(const std::string& prefix) const;
    std::string Dump() const;

private:
    static void Sink(const tessera_log_record* record, void* context);
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace tessera::testing
