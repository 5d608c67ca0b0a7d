// tests/peers/https_misbehaving_server.py as a child process on a free loopback port.
#pragma once

#include <string>
#include <vector>

#include "peers.h"

namespace testsupport {

class TlsScriptedPeer {
public:
    // cert_name: "server", "wrongname" or "other" of the test certificates.
    TlsScriptedPeer(const TestCertificates& certs, const std::string& cert_name = "server");
    ~TlsScriptedPeer() { Stop(); }
    // mode and extra options as the script takes them (see there). Waits until it accepts connections.
    bool Start(const std::string& mode, const std::vector<std::string>& options = {});
    // "respond" mode: the response bytes are written to a file for the script.
    bool StartResponding(const std::string& response, const std::string& after = "close",
                         const std::vector<std::string>& options = {});
    void Stop() { process_.Stop(); }
    int port() const { return port_; }
    // What "respond" mode received, every request appended.
    std::string Requests() const { return ReadFile(dir_.File("requests.log")); }
    std::string Log() const { return ReadFile(dir_.File("peer.log")); }

private:
    TestCertificates certs_;
    std::string cert_name_;
    TempDir dir_;
    ChildProcess process_;
    int port_ = 0;
};

}  // namespace testsupport
