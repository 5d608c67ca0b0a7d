// The scripted RTMP server of tests/peers/rtmp_server_peer.py, run as a child process on a free
// loopback port. Its scenario is a JSON list of steps (see the script); what the client sent comes
// back as records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net.h"
#include "process.h"

namespace testsupport {

// One message the client sent, as the peer decoded it.
struct PeerMessage {
    int type = 0;
    int csid = 0;
    int stream = 0;
    uint32_t ts = 0;
    std::string fmts;  // header type of each chunk, "0,3,3"
    int len = 0;
    std::string name;  // command name, "-" for other messages
    std::string args;  // JSON of the values after the name
    std::string body_hex;
};

class RtmpServerPeer {
public:
    explicit RtmpServerPeer(std::string steps_json, std::string s2_mode = "echo");
    ~RtmpServerPeer() { Stop(); }
    // Starts the script and waits until it listens.
    bool Start();
    // Waits until the scenario has finished and the client's connection is gone.
    bool WaitForEnd();
    void Stop() { process_.Stop(); }
    int port() const { return port_; }
    // rtmp://127.0.0.1:port/path
    std::string Url(const std::string& path) const;
    std::string Record() const { return ReadFile(dir_.File("record.txt")); }
    std::vector<PeerMessage> Messages() const;
    // The messages whose command name is name.
    std::vector<PeerMessage> Commands(const std::string& name) const;

private:
    bool WaitForRecordLine(const std::string& line, int attempts);

    std::string steps_json_;
    std::string s2_mode_;
    TempDir dir_;
    ChildProcess process_;
    int port_ = 0;
};

}  // namespace testsupport
