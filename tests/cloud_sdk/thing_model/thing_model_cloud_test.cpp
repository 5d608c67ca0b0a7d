// The thing model end to end: the test device program against the Python test cloud over mosquitto.
#include <gtest/gtest.h>

#include <string>

#include "broker_fixture.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

using testsupport::ChildProcess;
using testsupport::ReadFile;
using testsupport::SourcePath;
using testsupport::TempDir;

// Replies are checked byte for byte; ids the device counts itself are matched by pattern.
const char* const kScenario = R"([
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"ready\":1\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"send": "property_set", "id": "101", "params": {"StreamVideoQuality": 1}},
  {"expect": {"suffix": "thing/service/property/set_reply", "payload": "{\"id\":\"101\",\"code\":200,\"data\":{}}"}},
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"StreamVideoQuality\":1\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"send": "service", "name": "Echo", "id": "102", "params": {"a": 1, "b": "x"}},
  {"expect": {"suffix": "thing/service/Echo_reply", "payload": "{\"id\":\"102\",\"code\":200,\"data\":{\"a\":1,\"b\":\"x\"}}"}},
  {"send": "service", "name": "Fail", "id": "103", "params": {}},
  {"expect": {"suffix": "thing/service/Fail_reply", "payload": "{\"id\":\"103\",\"code\":400,\"data\":{\"reason\":\"refused\"}}"}},
  {"send": "rrpc", "rrpc_id": "998877", "id": "104", "method": "thing.service.Echo", "params": {"q": 2}},
  {"expect": {"suffix": "rrpc/response/998877", "payload": "{\"id\":\"104\",\"code\":200,\"data\":{\"q\":2}}"}},
  {"send": "raw", "suffix": "vision/p2p/dev/data/downstream", "payload": "{\"sdp\":\"v=0\"}"},
  {"expect": {"suffix": "vision/p2p/dev/data/upstream", "payload": "{\"sdp\":\"v=0\"}"}},
  {"send": "raw", "suffix": "vision/biz/dev/StreamGroupOfPicture/invoke", "payload": "{\"gop\":2}"},
  {"expect": {"suffix": "vision/biz/dev/StreamGroupOfPicture/invoke_reply", "payload": "{\"gop\":2}"}},
  {"send": "raw", "suffix": "vision/p2p/dev/data/downstream", "payload": "[1,2]"},
  {"expect_none": {"suffix": "vision/p2p/dev/data/upstream", "within": 1.0}},
  {"send": "raw", "suffix": "thing/service/Echo", "payload": "{\"id\":\"105\",\"params\":{}}"},
  {"expect_none": {"suffix": "thing/service/Echo_reply", "within": 1.0}},
  {"send": "service", "name": "QueryTime", "id": "106", "params": {}},
  {"expect": {"topic": "/ext/ntp/a1B2/cam01/request", "payload": "{\"deviceSendTime\":\"1234\"}"}},
  {"send": "raw", "topic": "/ext/ntp/a1B2/cam01/response",
   "payload": "{\"deviceSendTime\":\"1234\",\"serverRecvTime\":\"1700000000000\",\"serverSendTime\":\"1700000000123\"}"},
  {"expect": {"suffix": "thing/event/property/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"utc\":\"1700000000123\"\\},\"method\":\"thing.event.property.post\"\\}"}},
  {"send": "service", "name": "TriggerAlarm", "id": "107", "params": {"level": 3}},
  {"expect": {"suffix": "thing/event/Alarm/post",
              "pattern": "\\{\"id\":\"\\d+\",\"version\":\"1.0\",\"params\":\\{\"level\":3\\},\"method\":\"thing.event.Alarm.post\"\\}"}},
  {"send": "event_notify", "id": "108", "params": {"note": "n"}},
  {"expect": {"suffix": "_thing/event/notify_reply", "payload": "{\"id\":\"108\",\"code\":200,\"data\":{}}"}},
  {"send": "service", "name": "Quit", "id": "109", "params": {}}
])";

bool WaitFor(const std::function<bool()>& done, int max_ms) {
    for (int waited = 0; waited < max_ms; waited += 50) {
        if (done()) return true;
        HAL_SleepMs(50);
    }
    return done();
}

TEST(ThingModelCloud, DeviceAnswersTheCloudByteForByte) {
    testing::BrokerFixture fixture;
    ASSERT_TRUE(fixture.Start());
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir.File("scenario.json"), kScenario));
    const testing::TestDevice& device = fixture.device();

    ChildProcess cloud;
    ASSERT_TRUE(cloud.Start({"/usr/bin/python3", SourcePath("tests/peers/test_cloud.py"), "--port",
                             std::to_string(fixture.port()), "--cafile", fixture.certs().Path("ca.crt"), "--user",
                             testing::BrokerFixture::kObserverUser, "--password",
                             testing::BrokerFixture::kObserverPassword, "--product-key", device.product_key,
                             "--device-name", device.device_name, "--scenario", dir.File("scenario.json")},
                            dir.File("cloud.log")));
    ASSERT_TRUE(WaitFor([&] { return ReadFile(dir.File("cloud.log")).find("READY") != std::string::npos; }, 15000))
        << ReadFile(dir.File("cloud.log"));

    ChildProcess device_program;
    ASSERT_TRUE(device_program.Start({TESSERA_TEST_DEVICE, "--port", std::to_string(fixture.port()), "--ca",
                                      fixture.certs().Path("ca.crt"), "--product-key", device.product_key,
                                      "--device-name", device.device_name, "--device-secret", device.device_secret},
                                     dir.File("device.log")));
    EXPECT_TRUE(WaitFor([&] { return !cloud.Running(); }, 60000));
    EXPECT_TRUE(WaitFor([&] { return !device_program.Running(); }, 10000));
    std::string cloud_log = ReadFile(dir.File("cloud.log"));
    EXPECT_NE(cloud_log.find("SCENARIO PASSED"), std::string::npos)
        << cloud_log << "\n--- device ---\n" << ReadFile(dir.File("device.log"));
    EXPECT_NE(ReadFile(dir.File("device.log")).find("test device done"), std::string::npos);
}

}  // namespace
}  // namespace tessera
