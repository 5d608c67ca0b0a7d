#include "broker_fixture.h"

#include <gtest/gtest.h>

#include "tessera_conn.h"
#include "tessera_hal.h"

namespace tessera::testing {

BrokerLogin ExpectedLogin(const TestDevice& device) {
    const std::string device_id = device.product_key + "." + device.device_name;
    const std::string text = "clientId" + device_id + "deviceName" + device.device_name + "productKey" +
                             device.product_key + "timestamp2524608000000";
    std::string password = testsupport::CaptureCommand(
        "/usr/bin/python3 -c 'import hmac,hashlib,sys; "
        "print(hmac.new(sys.argv[1].encode(), sys.argv[2].encode(), hashlib.sha1).hexdigest(), end=\"\")' '" +
        device.device_secret + "' '" + text + "'");
    return BrokerLogin{device.device_name + "&" + device.product_key, password};
}

// Making RSA keys takes seconds: one set serves every test of the process.
static const testsupport::TestCertificates& SharedCertificates() {
    static testsupport::TempDir dir;
    static testsupport::TestCertificates certs;
    static bool made = testsupport::MakeTestCertificates(dir.File("certs"), &certs);
    EXPECT_TRUE(made);
    return certs;
}

BrokerFixture::BrokerFixture(const std::string& cert_name, TestDevice device)
    : certs_(SharedCertificates()), device_(std::move(device)) {
    broker_ = std::make_unique<testsupport::MosquittoPeer>(certs_, cert_name);
    BrokerLogin login = ExpectedLogin(device_);
    EXPECT_EQ(login.password.size(), 40u);
    EXPECT_TRUE(broker_->AddUser(login.username, login.password));
    EXPECT_TRUE(broker_->AddUser(kObserverUser, kObserverPassword));
}

void BrokerFixture::PointSdkAtBroker() const {
    char host[] = "localhost";
    uint16_t port = static_cast<uint16_t>(broker_->port());
    uint16_t host_is_domain = 1;
    ASSERT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_MQTT_DOMAIN, host), 0);
    ASSERT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_MQTT_PORT, &port), 0);
    ASSERT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_CUSTOMIZE_INFO, &host_is_domain), 0);
    ASSERT_EQ(IOT_SetCACert(certs_.Pem("ca.crt").c_str()), 0);
}

std::string BrokerFixture::ClientArgs() const {
    return "-h localhost -p " + std::to_string(broker_->port()) + " --cafile '" + certs_.Path("ca.crt") + "' -u " +
           kObserverUser + " -P " + kObserverPassword;
}

bool FillIdentityParams(const TestDevice& device, zenq_mqtt_init_params_t* params) {
    void* info_ptr = nullptr;
    if (IOT_SetupConnInfo(device.product_key.c_str(), device.device_name.c_str(), device.device_secret.c_str(),
                          &info_ptr) != 0) {
        return false;
    }
    auto* info = static_cast<zenq_conn_info_t*>(info_ptr);
    params->port = info->port;
    params->host = info->host_name;
    params->client_id = info->client_id;
    params->username = info->username;
    params->password = info->password;
    params->pub_key = info->pub_key;
    return true;
}

}  // namespace tessera::testing
