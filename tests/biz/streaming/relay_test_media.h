// Synthetic frames for relay tests, written as "K0 P40 A60": kind (key, inter, audio) and time in ms.
// The time is the frame's identity on the wire, since the relay sends device times unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "biz/streaming/relay_stream/relay_service.h"
#include "rtmp_server_peer.h"

namespace relaytest {

struct TestFrame {
    char kind;  // 'K', 'P' or 'A'
    uint32_t time_ms;
};

std::vector<TestFrame> ParseFrames(const std::string& text);
// H.264 Annex B: a key frame carries SPS, PPS and an IDR slice; padded to at least size bytes.
std::vector<unsigned char> FrameBytes(char kind, size_t size = 64);
// Adds each frame; the results, in order.
std::vector<int> Feed(RelayService& relay, const std::string& frames, size_t size = 64);
// The media frames the peer received, as "K0 P40 A60", without the decoder configuration messages.
std::string WireFrames(const std::vector<testsupport::PeerMessage>& messages);
// Valid H.264 and AAC at 16 kHz.
int ConfigureH264Aac(RelayService& relay, unsigned int bitrate_kbps = 500, double duration = 10);

}  // namespace relaytest
