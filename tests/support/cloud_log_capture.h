// Captures the cloud device SDK's log lines through its sink hook (IOT_SetLogSink), for exact-text checks.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

struct CloudLogLine {
    int level;
    std::string module;
    std::string function;
    std::string message;
    std::string text;
};

// Installs the sink and lowers the threshold to debug for its lifetime; restores both afterwards.
class CloudLogCapture {
public:
    CloudLogCapture();
    ~CloudLogCapture();
    CloudLogCapture(const CloudLogCapture&) = delete;
    CloudLogCapture& operator=(const CloudLogCapture&) = delete;

    std::vector<CloudLogLine> Lines() const;
    bool Has(const std::string& message) const;
    bool HasSubstring(const std::string& text) const;
    int Count(const std::string& message) const;
    std::string Dump() const;
    void Clear();

    void Add(CloudLogLine line);

private:
    mutable std::mutex mutex_;
    std::vector<CloudLogLine> lines_;
};

}  // namespace testsupport
