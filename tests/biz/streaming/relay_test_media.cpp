#include "relay_test_media.h"

#include <sstream>

namespace relaytest {

std::vector<TestFrame> ParseFrames(const std::string& text) {
    std::vector<TestFrame> frames;
    std::istringstream in(text);
    for (std::string token; in >> token;) {
        frames.push_back({token[0], static_cast<uint32_t>(std::stoul(token.substr(1)))});
    }
    return frames;
}

std::vector<unsigned char> FrameBytes(char kind, size_t size) {
    static const std::vector<unsigned char> kKeyHead = {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1e, 0xab, 0x40,
                                                        0, 0, 0, 1, 0x68, 0xce, 0x3c, 0x80,
                                                        0, 0, 0, 1, 0x65, 0x88, 0x84};
    static const std::vector<unsigned char> kInterHead = {0, 0, 0, 1, 0x41, 0x9a, 0x02};
    static const std::vector<unsigned char> kAacHead = {0x21, 0x10, 0x05};
    std::vector<unsigned char> bytes = kind == 'K' ? kKeyHead : kind == 'P' ? kInterHead : kAacHead;
    while (bytes.size() < size) bytes.push_back(static_cast<unsigned char>(0x10 + bytes.size() % 0x60));
    return bytes;
}

std::vector<int> Feed(RelayService& relay, const std::string& frames, size_t size) {
    std::vector<int> results;
    for (const TestFrame& frame : ParseFrames(frames)) {
        const std::vector<unsigned char> bytes = FrameBytes(frame.kind, size);
        const unsigned int length = static_cast<unsigned int>(bytes.size());
        results.push_back(frame.kind == 'A'
                              ? relay.AddAudioFrame(bytes.data(), length, frame.time_ms)
                              : relay.AddVideoFrame(OV_VIDEO_FORMAT_H264, bytes.data(), length, frame.kind == 'K',
                                                    frame.time_ms));
    }
    return results;
}

std::string WireFrames(const std::vector<testsupport::PeerMessage>& messages) {
    std::string out;
    for (const testsupport::PeerMessage& message : messages) {
        if ((message.type != 8 && message.type != 9) || message.body_hex.size() < 4) continue;
        const std::string head = message.body_hex.substr(0, 4);
        char kind = 0;
        if (head == "1701") kind = 'K';
        if (head == "2701") kind = 'P';
        if (head == "af01") kind = 'A';
        if (kind == 0) continue;  // decoder configuration
        out += (out.empty() ? "" : " ") + std::string(1, kind) + std::to_string(message.ts);
    }
    return out;
}

int ConfigureH264Aac(RelayService& relay, unsigned int bitrate_kbps, double duration) {
    const ov_video_param_s video{OV_VIDEO_FORMAT_H264, 25, 2000};
    const ov_audio_param_s audio{OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_16000, OV_AUDIO_SAMPLE_BITS_16BIT,
                                 OV_AUDIO_CHANNEL_MONO};
    return relay.SendConfig(bitrate_kbps, duration, &video, &audio, 0);
}

}  // namespace relaytest
