#include "tls_scripted_peer.h"

namespace testsupport {

TlsScriptedPeer::TlsScriptedPeer(const TestCertificates& certs, const std::string& cert_name)
    : certs_(certs), cert_name_(cert_name) {}

bool TlsScriptedPeer::Start(const std::string& mode, const std::vector<std::string>& options) {
    port_ = FreeLoopbackPort();
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     SourcePath("tests/peers/https_misbehaving_server.py"),
                                     "--port", std::to_string(port_),
                                     "--cert", certs_.Path(cert_name_ + ".crt"),
                                     "--key", certs_.Path(cert_name_ + ".key"),
                                     "--mode", mode,
                                     "--request-log", dir_.File("requests.log")};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!process_.Start(argv, dir_.File("peer.log"))) return false;
    return WaitForTcpPort(port_, 10000);
}

bool TlsScriptedPeer::StartResponding(const std::string& response, const std::string& after,
                                      const std::vector<std::string>& options) {
    if (!WriteFile(dir_.File("response.bin"), response)) return false;
    std::vector<std::string> all = {"--response", dir_.File("response.bin"), "--after", after};
    all.insert(all.end(), options.begin(), options.end());
    return Start("respond", all);
}

}  // namespace testsupport
