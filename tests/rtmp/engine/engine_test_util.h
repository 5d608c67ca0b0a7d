// Helpers of the engine tests: a publishing connection with its URL buffer, media messages, and a
// capture of the engine's log lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtmp/rtmp_sdk/engine/rtmp.h"

namespace enginetest {

// One connection state with the URL buffer it points into.
class Connection {
public:
    explicit Connection(const std::string& url);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    RTMP* get() { return r_; }
    // SetupURL, EnableWrite, Connect, ConnectStream; true when established.
    bool Publish();
    // A message on chunk stream 4 of the published stream, built with the header room in front.
    bool Send(uint8_t type, uint32_t timestamp, const std::vector<char>& body, uint8_t header_type = 0,
              int channel = 4);

private:
    RTMP* r_;
    std::vector<char> url_;
};

// A deterministic body of n bytes (bytes differ, so shifted or overwritten data shows).
std::vector<char> Pattern(size_t n, uint8_t seed);
std::string Hex(const std::vector<char>& bytes);

// Engine log lines of the whole test binary, kept until Clear().
class EngineLog {
public:
    EngineLog();  // installs the sink and clears
    void Clear();
    bool Has(const std::string& text) const;
    bool HasSubstring(const std::string& text) const;
    std::string Dump() const;
};

}  // namespace enginetest
