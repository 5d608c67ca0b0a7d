// A byte transport for the engine without a socket: reads come from a prepared string, writes are
// collected. Used by unit tests and fuzzers.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "rtmp/rtmp_sdk/engine/rtmp.h"

namespace enginetest {

class FakeTransport final : public RTMPTransport {
public:
    // Descriptor handed to RTMP_ConnectOnSocket; never a real one.
    static constexpr int kFd = 1 << 20;

    std::string input;
    size_t read_pos = 0;
    size_t max_read = 16384;       // bytes per receive call, to exercise the cache refills
    bool time_out_when_empty = false;  // else the end of input is the end of the stream
    int send_errno = 0;            // non-zero: every send fails with it
    std::string output;
    int shutdowns = 0;
    int closes = 0;

    ssize_t Recv(int, char* buf, size_t len) override {
        if (read_pos >= input.size()) {
            if (!time_out_when_empty) return 0;
            errno = EAGAIN;
            return -1;
        }
        const size_t n = std::min({len, max_read, input.size() - read_pos});
        memcpy(buf, input.data() + read_pos, n);
        read_pos += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t Send(int, const char* buf, size_t len) override {
        if (send_errno != 0) {
            errno = send_errno;
            return -1;
        }
        output.append(buf, len);
        return static_cast<ssize_t>(len);
    }
    void Shutdown(int) override { ++shutdowns; }
    void Close(int) override { ++closes; }

    // S0, S1 and S2 of a plain handshake, to put in front of the input.
    static std::string ServerHandshake() { return std::string(1, '\x03') + std::string(2 * 1536, '\x01'); }
};

}  // namespace enginetest
