#include <gtest/gtest.h>

#include "broker_fixture.h"
#include "infra/credentials/conn_info.h"
#include "infra/credentials/device_credentials.h"
#include "infra/credentials/dynamic_register.h"
#include "infra/credentials/hmac_sign.h"
#include "sdk_log_capture.h"
#include "tessera_conn.h"

namespace tessera {
namespace {

DeviceIdentity Cam01() {
    return DeviceIdentity{"a1B2", "cam01", "s3cr3t-device-key", "example.demo.partner-id", "example.demo.module-id"};
}

TEST(DeviceCredentials, ClientIdUsernameAndPassword) {
    EXPECT_EQ(MakeClientId(Cam01()),
              "a1B2.cam01|securemode=2,_v=sdk-c-2.3.0,timestamp=2524608000000,signmethod=hmacsha1,lan=C,gw=0,ext=0,"
              "pid=example.demo.partner-id,mid=example.demo.module-id|");
    EXPECT_EQ(MakeUsername(Cam01()), "cam01&a1B2");
    EXPECT_EQ(MakePassword(Cam01()), testing::ExpectedLogin(testing::TestDevice()).password);

    DeviceIdentity bare = Cam01();
    bare.partner_id.clear();
    bare.module_id.clear();
    EXPECT_EQ(MakeClientId(bare),
              "a1B2.cam01|securemode=2,_v=sdk-c-2.3.0,timestamp=2524608000000,signmethod=hmacsha1,lan=C,gw=0,ext=0|");
}

TEST(DeviceCredentials, SignLimits) {
    EXPECT_TRUE(HmacHex(SignDigest::kSha1, std::string(64, 'k'), "t").has_value());
    EXPECT_FALSE(HmacHex(SignDigest::kSha1, std::string(65, 'k'), "t").has_value());
    EXPECT_TRUE(HmacHex(SignDigest::kSha1, "k", std::string(511, 't')).has_value());
    EXPECT_FALSE(HmacHex(SignDigest::kSha1, "k", std::string(512, 't')).has_value());
    // RFC 2202 test case 2 and RFC 4231 test case 2.
    EXPECT_EQ(HmacHex(SignDigest::kSha1, "Jefe", "what do ya want for nothing?"),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    EXPECT_EQ(HmacHex(SignDigest::kSha256, "Jefe", "what do ya want for nothing?"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

struct HostCase {
    int region;
    const char* custom_domain;
    bool host_is_domain;
    uint16_t port;
    const char* host;
    uint16_t expected_port;
};

TEST(ConnInfo, HostAndPortFollowTheOptions) {
    const HostCase cases[] = {
        {0, "", false, 0, "a1B2.iot-as-mqtt.cn-shanghai.tessera-cloud.example", 443},
        {4, "", false, 0, "a1B2.iot-as-mqtt.eu-central-1.tessera-cloud.example", 443},
        {5, "broker.local", false, 8883, "a1B2.broker.local", 8883},
        {5, "localhost", true, 18883, "localhost", 18883},
    };
    for (const auto& c : cases) {
        SdkOptions options;
        options.region = c.region;
        options.custom_mqtt_domain = c.custom_domain;
        options.host_is_domain = c.host_is_domain;
        options.mqtt_port = c.port;
        std::optional<ConnInfo> info = BuildConnInfo(Cam01(), options);
        ASSERT_TRUE(info.has_value()) << c.host;
        EXPECT_EQ(info->host, c.host);
        EXPECT_EQ(info->port, c.expected_port);
    }
    SdkOptions no_domain;
    no_domain.region = 5;
    EXPECT_FALSE(BuildConnInfo(Cam01(), no_domain).has_value());
}

TEST(ConnInfo, SetupRefusesMissingIdentity) {
    testing::SdkLogCapture log;
    void* info = nullptr;
    EXPECT_EQ(IOT_SetupConnInfo(nullptr, "cam01", "s", &info), -1);
    EXPECT_EQ(IOT_SetupConnInfo("", "cam01", "s", &info), -1);
    EXPECT_EQ(IOT_SetupConnInfo("a1B2", "cam01", "", &info), -1);
    EXPECT_EQ(IOT_SetupConnInfo("a1B2", std::string(33, 'n').c_str(), "s", &info), -1);
    EXPECT_EQ(log.Count("Invalid argument, product_key = (nil)"), 1) << log.Dump();
    EXPECT_EQ(log.Count("Invalid argument, product_key = ''"), 1);
    EXPECT_EQ(log.Count("Invalid argument, device_secret = ''"), 1);
}

TEST(Ioctl, OptionsAndRefusals) {
    testing::SdkLogCapture log;
    int region = 3;
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_REGION, &region), 0);
    int got = -1;
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_GET_REGION, &got), 0);
    EXPECT_EQ(got, 3);
    int bad_region = 9;
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_REGION, &bad_region), -1);
    EXPECT_EQ(CurrentOptions().region, 3);
    char domain[] = "mqtt.test.local";
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_MQTT_DOMAIN, domain), 0);
    EXPECT_EQ(CurrentOptions().region, ZENQ_CLOUD_REGION_CUSTOM);
    std::string long_domain(60, 'd');
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_MQTT_DOMAIN, &long_domain[0]), -1);
    int flag = 1;
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_SET_DYNAMIC_REGISTER, &flag), 0);
    EXPECT_EQ(IOT_Ioctl(IOTX_IOCTL_GET_DYNAMIC_REGISTER, &got), 0);
    EXPECT_EQ(got, 1);
    flag = 0;
    IOT_Ioctl(IOTX_IOCTL_SET_DYNAMIC_REGISTER, &flag);
    EXPECT_EQ(IOT_Ioctl(11, &flag), 0);
    EXPECT_EQ(IOT_Ioctl(-1, &flag), -1);
    EXPECT_EQ(IOT_Ioctl(0, nullptr), -1);
    EXPECT_EQ(IOT_Ioctl(13, &flag), -1);
    EXPECT_EQ(log.Count("Invalid Parameter"), 2);
    EXPECT_EQ(log.Count("Unknown Ioctl Option"), 1);
    region = 0;
    IOT_Ioctl(IOTX_IOCTL_SET_REGION, &region);
}

TEST(DynamicRegister, RandomSignAndReply) {
    uint32_t counter = 0;
    std::string random = MakeRegisterRandom([&](uint32_t below) { return counter++ % below; });
    ASSERT_EQ(random.size(), 15u);
    for (char c : random) EXPECT_TRUE(isalnum(static_cast<unsigned char>(c))) << random;

    std::string expected_sign = testsupport::CaptureCommand(
        "/usr/bin/python3 -c 'import hmac,hashlib; "
        "print(hmac.new(b\"psecret\", b\"deviceNamecam01productKeya1B2randomABCdef123456789\", "
        "hashlib.sha256).hexdigest(), end=\"\")'");
    EXPECT_EQ(RegisterRequestBody("a1B2", "cam01", "ABCdef123456789", "psecret"),
              "productKey=a1B2&deviceName=cam01&random=ABCdef123456789&sign=" + expected_sign +
                  "&signMethod=hmacsha256");

    struct ReplyCase {
        const char* reply;
        const char* secret;
    };
    const ReplyCase cases[] = {
        {"{\"code\":200,\"data\":{\"deviceSecret\":\"abc\"}}", "abc"},
        {"{\"code\":\"200\",\"data\":{\"deviceSecret\":\"abc\"}}", nullptr},
        {"{\"code\":400,\"data\":{\"deviceSecret\":\"abc\"}}", nullptr},
        {"{\"code\":200,\"data\":{}}", nullptr},
        {"{\"code\":200,\"data\":{\"deviceSecret\":\"\"}}", nullptr},
        {"not json", nullptr},
    };
    for (const auto& c : cases) {
        std::optional<std::string> secret = ParseRegisterReply(c.reply);
        EXPECT_EQ(secret.has_value(), c.secret != nullptr) << c.reply;
        if (c.secret != nullptr && secret) {
            EXPECT_EQ(*secret, c.secret);
        }
    }
    EXPECT_FALSE(ParseRegisterReply("{\"code\":200,\"data\":{\"deviceSecret\":\"" + std::string(65, 's') + "\"}}"));
}

}  // namespace
}  // namespace tessera
