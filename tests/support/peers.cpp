#include "peers.h"

#include <sys/stat.h>

#include <sstream>

namespace testsupport {

std::string SourcePath(const std::string& relative) { return std::string(OV_SOURCE_DIR) + "/" + relative; }

bool MakeTestCertificates(const std::string& dir, TestCertificates* out) {
    out->dir = dir;
    return RunCommand("bash '" + SourcePath("tools/make_certs.sh") + "' '" + dir + "'") == 0;
}

MosquittoPeer::MosquittoPeer(const TestCertificates& certs, const std::string& cert_name)
    : certs_(certs), cert_name_(cert_name) {
    WriteFile(dir_.File("passwd"), "");
}

bool MosquittoPeer::AddUser(const std::string& user, const std::string& password) {
    return RunCommand("mosquitto_passwd -b '" + dir_.File("passwd") + "' '" + user + "' '" + password +
                      "' >/dev/null 2>&1") == 0;
}

bool MosquittoPeer::Start(int port) {
    port_ = port > 0 ? port : FreeLoopbackPort();
    std::ostringstream conf;
    conf << "user root\n"
         << "allow_anonymous false\n"
         << "password_file " << dir_.File("passwd") << "\n"
         << "persistence false\n"
         << "log_dest stderr\n"
         << "log_type all\n"
         << "listener " << port_ << " 127.0.0.1\n"
         << "cafile " << certs_.Path("ca.crt") << "\n"
         << "certfile " << certs_.Path(cert_name_ + ".crt") << "\n"
         << "keyfile " << certs_.Path(cert_name_ + ".key") << "\n"
         << "tls_version tlsv1.2\n";
    WriteFile(dir_.File("mosquitto.conf"), conf.str());
    if (!process_.Start({"mosquitto", "-c", dir_.File("mosquitto.conf")}, dir_.File("mosquitto.log"))) return false;
    return WaitForTcpPort(port_, 10000);
}

NginxPeer::NginxPeer(const TestCertificates* certs) : certs_(certs) {}

bool NginxPeer::Start() {
    for (const char* sub : {"rec", "www", "www/up", "www/fw", "tmp", "tmp/body", "tmp/proxy", "tmp/fcgi",
                            "tmp/uwsgi", "tmp/scgi"}) {
        mkdir(dir_.File(sub).c_str(), 0755);
    }
    rtmp_port_ = FreeLoopbackPort();
    https_port_ = certs_ != nullptr ? FreeLoopbackPort() : 0;
    const std::string& d = dir_.path();
    std::ostringstream conf;
    conf << "load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;\n"
         << "daemon off; master_process on; worker_processes 1; user root;\n"
         << "pid " << d << "/nginx.pid; error_log " << d << "/error.log info;\n"
         << "events { worker_connections 256; }\n"
         << "rtmp { server { listen 127.0.0.1:" << rtmp_port_ << "; chunk_size 4096;\n"
         << "  application live { live on; record all; record_path " << d << "/rec; record_unique off;\n"
         << "    " << extra_rtmp_ << " } } }\n"
         << "http { access_log " << d << "/access.log; client_body_temp_path " << d << "/tmp/body;\n"
         << "  proxy_temp_path " << d << "/tmp/proxy; fastcgi_temp_path " << d << "/tmp/fcgi;\n"
         << "  uwsgi_temp_path " << d << "/tmp/uwsgi; scgi_temp_path " << d << "/tmp/scgi;\n";
    if (certs_ != nullptr) {
        conf << "  server { listen 127.0.0.1:" << https_port_ << " ssl; server_name localhost;\n"
             << "    ssl_certificate " << certs_->Path("server.crt") << "; ssl_certificate_key "
             << certs_->Path("server.key") << "; client_max_body_size 64m;\n"
             << "    location /up/ { root " << d << "/www; dav_methods PUT DELETE; create_full_put_path on; }\n"
             << "    location /fw/ { root " << d << "/www; } }\n";
    }
    conf << "}\n";
    WriteFile(dir_.File("nginx.conf"), conf.str());
    if (!process_.Start({"nginx", "-c", dir_.File("nginx.conf"), "-p", d, "-e", dir_.File("error.log")},
                        dir_.File("nginx.out"))) {
        return false;
    }
    if (!WaitForTcpPort(rtmp_port_, 10000)) return false;
    return certs_ == nullptr || WaitForTcpPort(https_port_, 10000);
}

}  // namespace testsupport
