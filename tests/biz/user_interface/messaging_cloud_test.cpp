// Cloud messaging end to end: the Python test cloud talks through a real mosquitto over TLS to a device
// program that joins the cloud device SDK and the camera SDK. A service call travels broker -> cloud SDK ->
// device program -> ov_tessera_adapter -> message service -> handler, whose RRPC reply travels back.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "broker_fixture.h"
#include "tessera_hal.h"

namespace {

using testsupport::ChildProcess;
using testsupport::ReadFile;
using testsupport::SourcePath;
using testsupport::TempDir;

// The capability reports follow the connection; the RRPC reply's id is the cloud SDK's running counter.
const char* const kScenario = R"([
  {"expect": {"suffix": "vision/biz/dev/monitor/upstream",
              "pattern": "\\{\"version\":\"1.0\",\"method\":\"IpcVersion\",\"params\":\\{\"version\":\"orvia_([^_\"]*_){5}\",\"pic\":\"obx\"\\}\\}"}},
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"EncryptTypeList\":\\[0\\]\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"UploadPictureType\":1\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"PreRecordSupport\":1\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"send": "rrpc", "rrpc_id": "998877", "id": "104", "method": "thing.service.QueryMonthRecord",
   "params": {"Month": "202612"}},
  {"expect": {"suffix": "rrpc/response/998877",
              "pattern": "\\{\"id\":\"\\d+\",\"code\":200,\"data\":\\{\"RecordFlags\":\"01\"\\}\\}"}},
  {"send": "service", "name": "StopVoiceIntercom", "id": "105", "params": {}},
  {"expect_none": {"suffix": "thing/service/StopVoiceIntercom_reply", "within": 1.0}},
  {"send": "service", "name": "Quit", "id": "106", "params": {}}
])";

bool WaitFor(const std::function<bool()>& done, int max_ms) {
    for (int waited = 0; waited < max_ms; waited += 50) {
        if (done()) return true;
        HAL_SleepMs(50);
    }
    return done();
}

TEST(MessagingCloud, ServiceCallIsAnsweredAndCapabilitiesFollowTheConnection) {
    tessera::testing::BrokerFixture fixture;
    ASSERT_TRUE(fixture.Start());
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir.File("scenario.json"), kScenario));
    const tessera::testing::TestDevice& device = fixture.device();

    ChildProcess cloud;
    ASSERT_TRUE(cloud.Start({"/usr/bin/python3", SourcePath("tests/peers/test_cloud.py"), "--port",
                             std::to_string(fixture.port()), "--cafile", fixture.certs().Path("ca.crt"), "--user",
                             tessera::testing::BrokerFixture::kObserverUser, "--password",
                             tessera::testing::BrokerFixture::kObserverPassword, "--product-key", device.product_key,
                             "--device-name", device.device_name, "--scenario", dir.File("scenario.json")},
                            dir.File("cloud.log")));
    ASSERT_TRUE(WaitFor([&] { return ReadFile(dir.File("cloud.log")).find("READY") != std::string::npos; }, 15000))
        << ReadFile(dir.File("cloud.log"));

    ChildProcess device_program;
    ASSERT_TRUE(device_program.Start({MESSAGING_TEST_DEVICE, "--port", std::to_string(fixture.port()), "--ca",
                                      fixture.certs().Path("ca.crt"), "--product-key", device.product_key,
                                      "--device-name", device.device_name, "--device-secret", device.device_secret},
                                     dir.File("device.log")));
    EXPECT_TRUE(WaitFor([&] { return !cloud.Running(); }, 60000));
    EXPECT_TRUE(WaitFor([&] { return !device_program.Running(); }, 10000));
    const std::string cloud_log = ReadFile(dir.File("cloud.log"));
    EXPECT_NE(cloud_log.find("SCENARIO PASSED"), std::string::npos)
        << cloud_log << "\n--- device ---\n" << ReadFile(dir.File("device.log"));
    EXPECT_NE(ReadFile(dir.File("device.log")).find("messaging test device done"), std::string::npos);
}

}  // namespace
