// What relay tests share: the SDK services a relay calls into, started for the test, and waiting helpers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "biz/streaming/relay_stream/relay_service.h"
#include "log_capture.h"
#include "recording_relay_handler.h"
#include "recording_publisher.h"

namespace relaytest {

constexpr int kServiceId = 7;

// Starts the common pool (10 workers), the user and network task queues, the device dispatch with a
// recording configuration (device commands from the relay reach testconfig::DeviceRecorder) and a
// recording publisher under the message service (the monitor's reports are kept).
class RelayTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Polls the predicate; the bound only keeps a broken run from hanging.
    static bool Eventually(const std::function<bool()>& done, int attempts = 1000);
    // Whether the device program was called with a text starting with prefix.
    static bool DeviceGot(const std::string& prefix);
    int LogCount(const std::string& substring) const;
    // The codes of the error reports published so far, in order.
    std::vector<int> ReportedErrorCodes() const;

    testsupport::LogCapture logs_;
    RecordingRelayHandler handler_;
    std::shared_ptr<messagingtest::RecordingPublisher> publisher_ =
        std::make_shared<messagingtest::RecordingPublisher>();
};

// The JSON step of the scripted peer that sends an onStatus command (bytes below 0x20 escaped).
std::string StatusStep(const std::string& code, const std::string& description);
// The AMF0 object {onlyKeyFrame: bool, speed: number} as the relay servers put it in a description.
std::string PlayParamDescription(bool only_key_frame, double speed);
// rtmp://127.0.0.1:port/live/cam on a port where nothing listens.
std::string DeadUrl();

}  // namespace relaytest
