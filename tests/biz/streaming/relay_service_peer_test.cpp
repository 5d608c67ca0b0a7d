// A relay service against the scripted RTMP server: the server's status commands become calls on the
// owner and the device, the key-frame gate decides what reaches the wire, completions follow the last
// frame, and a vanished server ends the session.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "relay_harness.h"
#include "relay_test_media.h"
#include "rtmp_server_peer.h"

namespace relaytest {
namespace {

using testsupport::RtmpServerPeer;

class RelayAgainstPeer : public RelayTest {
protected:
    // Starts the peer with the steps after publish_ok, then the relay towards it.
    void Start(RelayServiceType type, const std::string& steps) {
        peer_ = std::make_unique<RtmpServerPeer>("[{\"publish_ok\":true}" + steps + "]");
        ASSERT_TRUE(peer_->Start());
        ASSERT_EQ(relay_.StartService(kServiceId, type, peer_->Url("live/cam"), "", "", type == RELAY_SERVICE_LIVE),
                  0);
        ASSERT_EQ(ConfigureH264Aac(relay_), 0);
    }
    bool WireHas(const std::string& frames) {
        return Eventually([&] { return WireFrames(peer_->Messages()) == frames; });
    }

    std::unique_ptr<RtmpServerPeer> peer_;
    RelayService relay_{&handler_};
};

TEST_F(RelayAgainstPeer, StatusCommandsReachTheOwnerAndTheDevice) {
    Start(RELAY_SERVICE_VOD,
          "," + StatusStep("NetStream.Play.Start", "") +  // no description: not a command
              "," + StatusStep("NetStream.Play.Start", "desc") + "," + StatusStep("NetStream.Seek.Start", "5000") +
              "," + StatusStep("NetStream.Pause.Start", "desc") + "," + StatusStep("NetStream.Unpause.Start", "desc") +
              "," + StatusStep("NetStream.SetPlayParam.Start", PlayParamDescription(true, 2)) + "," +
              StatusStep("NetStream.SetPlayParam.Start", "{\"speed\":2}") + "," +
              StatusStep("NetStream.Complete.Response", "desc") + "," + StatusStep("NetStream.Bogus", "desc") + "," +
              StatusStep("NetStream.Stop.Start", "desc") + "," + StatusStep("NetStream.ForceIFrame.Start", "desc"));
    ASSERT_TRUE(Eventually([] { return DeviceGot("cmd 7 6 "); })) << logs_.Dump();
    ASSERT_TRUE(DeviceGot("cmd 7 4 "));  // stop, before the key-frame request
    EXPECT_EQ(handler_.Calls(), (std::vector<std::string>{"play 7", "seek 7 5000", "pause 7 1 0", "pause 7 0 0",
                                                          "param 7 1 2"}));
    EXPECT_TRUE(logs_.Has("[Vod relay 7] read cmd:NetStream.Seek.Start description:5000"));
    EXPECT_TRUE(logs_.Has("Parse param error"));
    EXPECT_TRUE(logs_.Has("[Vod relay 7] Nonrecognition cmd"));
    EXPECT_EQ(logs_.Count("[Vod relay 7] Nonrecognition cmd"), 1);  // Complete.Response is known
    relay_.StopService();
    EXPECT_TRUE(peer_->WaitForEnd());
}

TEST_F(RelayAgainstPeer, KeyOnlyModeAndLeavingItGateTheFrames) {
    Start(RELAY_SERVICE_LIVE,
          ",{\"expect_count\":2,\"type\":9}," + StatusStep("NetStream.SetPlayParam.Start", PlayParamDescription(true, 4)) +
              ",{\"expect_count\":4,\"type\":9}," +
              StatusStep("NetStream.SetPlayParam.Start", PlayParamDescription(false, 4)));
    Feed(relay_, "K0");
    ASSERT_TRUE(handler_.WaitFor("param 7 1 4"));
    Feed(relay_, "P40 A50 K80 P120 A130 K160");
    ASSERT_TRUE(handler_.WaitFor("param 7 0 4"));
    // Leaving key-only waits for a key frame before anything else goes out again.
    Feed(relay_, "P200 A210 K240 P280 A290");
    EXPECT_TRUE(WireHas("K0 K80 K160 K240 P280 A290")) << WireFrames(peer_->Messages());
    relay_.StopService();
}

TEST_F(RelayAgainstPeer, AfterASeekTheFirstFrameSentIsTheKeyFrameOfTheNewPosition) {
    Start(RELAY_SERVICE_VOD, ",{\"expect_count\":3,\"type\":9}," + StatusStep("NetStream.Seek.Start", "2000"));
    Feed(relay_, "K0 P40");
    ASSERT_TRUE(handler_.WaitFor("seek 7 2000"));
    Feed(relay_, "K2000 P2040 A2050 P2080");
    EXPECT_TRUE(WireHas("K0 P40 K2000 P2040 A2050 P2080")) << WireFrames(peer_->Messages());
    EXPECT_EQ(logs_.Count("[Vod relay 7] drop to old i frame"), 2);  // the first key frame, then the seek
    relay_.StopService();
}

TEST_F(RelayAgainstPeer, VodCompleteFollowsTheLastFrame) {
    Start(RELAY_SERVICE_VOD, "");
    Feed(relay_, "K0 P40 A50 P80 K120 P160 A170");
    relay_.SendVodComplete();
    ASSERT_TRUE(Eventually([&] { return logs_.Has("[Vod relay 7] Send vod complete success"); })) << logs_.Dump();
    EXPECT_TRUE(logs_.Has("[Vod relay 7] Add vod complete"));
    relay_.StopService();
    ASSERT_TRUE(peer_->WaitForEnd());

    const std::vector<testsupport::PeerMessage> messages = peer_->Messages();
    EXPECT_EQ(WireFrames(messages), "K0 P40 A50 P80 K120 P160 A170");
    size_t last_media = 0, completion = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].type == 8 || messages[i].type == 9) last_media = i;
        if (messages[i].args.find("NetStream.VOD.Complete") != std::string::npos) completion = i;
    }
    EXPECT_GT(completion, last_media);
    EXPECT_EQ(peer_->Commands("onMetaData").size(), 1u);
}

TEST_F(RelayAgainstPeer, ServerVanishingEndsTheSessionAndReportsIt) {
    Start(RELAY_SERVICE_LIVE, ",{\"expect_count\":3,\"type\":9},{\"drop\":true}");
    Feed(relay_, "K0 P40");
    uint32_t time_ms = 80;
    ASSERT_TRUE(Eventually([&] {
        Feed(relay_, "P" + std::to_string(time_ms));
        time_ms += 40;
        return handler_.Count("status 7") > 0;
    })) << logs_.Dump();
    EXPECT_EQ(handler_.Count("status 7"), 1);
    EXPECT_EQ(LogCount("[Live relay 7] monitor message: "), 1);
    EXPECT_TRUE(Eventually([&] { return logs_.Has("[Live relay 7] SendThread quit"); }));
    relay_.StopService();
    // The session ended on its own: the device did not close it.
    EXPECT_EQ(LogCount("[Live relay 7] monitor message: "), 1);
    const std::vector<int> codes = ReportedErrorCodes();
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_TRUE(codes[0] == 1010 || codes[0] == 1011) << codes[0];  // lost, or the send failed first
    EXPECT_TRUE(logs_.Has("[Live relay 7] ReadThread quit"));
    EXPECT_TRUE(logs_.Has("[Live relay 7] stop service success"));
}

TEST_F(RelayAgainstPeer, StopOfAHealthySessionReportsTheDeviceClosingIt) {
    Start(RELAY_SERVICE_LIVE, "");
    Feed(relay_, "K0 P40");
    ASSERT_TRUE(WireHas("K0 P40"));
    relay_.StopService();
    relay_.StopService();  // a second stop changes nothing
    EXPECT_EQ(LogCount("[Live relay 7] monitor message: " + peer_->Url("live/cam")), 1);
    EXPECT_EQ(LogCount("[Live relay 7] stop service success"), 1);
    EXPECT_EQ(ReportedErrorCodes(), std::vector<int>{1013});
    EXPECT_TRUE(peer_->WaitForEnd());
    EXPECT_EQ(handler_.Count("status 7"), 0);
}

}  // namespace
}  // namespace relaytest
