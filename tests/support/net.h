// Loopback helpers: tests only ever talk to 127.0.0.1.
#pragma once

#include <string>

namespace testsupport {

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
// A UDP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackUdpPort();
// Polls until something accepts TCP connections on 127.0.0.1:port.
bool WaitForTcpPort(int port, int timeout_ms);

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);

}  // namespace testsupport
