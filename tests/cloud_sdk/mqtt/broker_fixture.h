// A real mosquitto with a TLS listener that knows one device, and the SDK pointed at it.
#pragma once

#include <memory>
#include <string>

#include "peers.h"
#include "tessera_mqtt.h"

namespace tessera::testing {

struct TestDevice {
    std::string product_key = "a1B2";
    std::string device_name = "cam01";
    std::string device_secret = "s3cr3t-device-key";
};

// The user name and HMAC-SHA1 password, worked out by Python's hmac module (independent of the SDK).
struct BrokerLogin {
    std::string username;
    std::string password;
};
BrokerLogin ExpectedLogin(const TestDevice& device);

// The identity half of a client's parameters (host, port, client id, login), from IOT_SetupConnInfo for
// device; false when that fails. Time-outs, buffer sizes and the event handler stay the caller's.
bool FillIdentityParams(const TestDevice& device, zenq_mqtt_init_params_t* params);

class BrokerFixture {
public:
    static constexpr const char* kObserverUser = "observer";
    static constexpr const char* kObserverPassword = "observer-pw";

    // Certificates and a broker with cert_name's certificate; the device and an observer are users.
    explicit BrokerFixture(const std::string& cert_name = "server", TestDevice device = TestDevice());
    bool Start(int port = 0) { return broker_->Start(port); }
    // Sets the custom host "localhost", the port and the test CA through IOT_Ioctl and IOT_SetCACert.
    void PointSdkAtBroker() const;

    testsupport::MosquittoPeer& broker() { return *broker_; }
    const testsupport::TestCertificates& certs() const { return certs_; }
    const TestDevice& device() const { return device_; }
    int port() const { return broker_->port(); }
    // Common mosquitto_pub / mosquitto_sub arguments for the observer.
    std::string ClientArgs() const;
    // The broker's log line that says it acknowledged a subscription of the observer's mosquitto_sub.
    static constexpr const char* kObserverSubscribed = "Sending SUBACK to observer-sub";

private:
    testsupport::TestCertificates certs_;
    TestDevice device_;
    std::unique_ptr<testsupport::MosquittoPeer> broker_;
};

}  // namespace tessera::testing
