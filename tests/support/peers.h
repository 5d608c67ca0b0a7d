// Real servers for end-to-end tests, each on free loopback ports in its own temporary directory.
#pragma once

#include <string>

#include "net.h"
#include "process.h"

namespace testsupport {

// Throw-away certificates made by tools/make_certs.sh (see there for the files).
struct TestCertificates {
    std::string dir;
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Pem(const std::string& name) const { return ReadFile(Path(name)); }
};
bool MakeTestCertificates(const std::string& dir, TestCertificates* out);

// mosquitto with one TLS listener and a password file. Users are added before Start.
class MosquittoPeer {
public:
    explicit MosquittoPeer(const TestCertificates& certs, const std::string& cert_name = "server");
    ~MosquittoPeer() { Stop(); }
    // mosquitto_passwd -b for each user; call before Start.
    bool AddUser(const std::string& user, const std::string& password);
    // Starts on port (0: a free one) and waits until it accepts connections.
    bool Start(int port = 0);
    void Stop() { process_.Stop(); }
    void Kill() { process_.Kill(); }
    int port() const { return port_; }
    std::string Log() const { return ReadFile(dir_.File("mosquitto.log")); }

private:
    TestCertificates certs_;
    std::string cert_name_;
    TempDir dir_;
    ChildProcess process_;
    int port_ = 0;
};

// nginx with the RTMP module ("live" application recording every stream to rec/) and an HTTPS
// server whose /up/ takes PUT and whose /fw/ serves files from www/fw/.
class NginxPeer {
public:
    explicit NginxPeer(const TestCertificates* certs = nullptr);
    ~NginxPeer() { Stop(); }
    bool Start();
    void Stop() { process_.Stop(); }
    void Kill() { process_.Kill(); }
    int rtmp_port() const { return rtmp_port_; }
    int https_port() const { return https_port_; }
    std::string RecordPath(const std::string& stream) const { return dir_.File("rec/" + stream + ".flv"); }
    std::string WwwPath(const std::string& relative) const { return dir_.File("www/" + relative); }
    std::string ErrorLog() const { return ReadFile(dir_.File("error.log")); }
    const std::string& dir() const { return dir_.path(); }
    // Extra text inserted into the rtmp application block, before Start.
    void set_extra_rtmp_application(const std::string& text) { extra_rtmp_ = text; }

private:
    const TestCertificates* certs_;
    TempDir dir_;
    ChildProcess process_;
    int rtmp_port_ = 0;
    int https_port_ = 0;
    std::string extra_rtmp_;
};

// Absolute path of a file under the source tree (tests/peers/..., tools/...).
std::string SourcePath(const std::string& relative);

}  // namespace testsupport
