// Captures the camera SDK's log records through a user sink, so tests check exact texts.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct LogRecord {
    int level;
    std::string file;
    int line;
    std::string message;
};

// Installs the capturing sink for the whole test binary on first use (the SDK has no way back to the
// default printer); records are kept between Clear() calls. Thread-safe.
class LogCapture {
public:
    LogCapture();  // clears what earlier tests left
    void Clear();
    std::vector<LogRecord> Records() const;
    // True when some record's message equals text exactly (at any level, or the given one).
    bool Has(const std::string& text, int level = -1) const;
    // True when some record's message contains the text.
    bool HasSubstring(const std::string& text) const;
    // How many records' messages equal text.
    int Count(const std::string& text) const;
    // Messages only, in order, for failure output.
    std::string Dump() const;
};

}  // namespace testsupport
