// End to end against nginx with the RTMP module: publish, media in the recording, closing while
// blocked, and a server that vanishes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "engine_test_util.h"
#include "peers.h"
#include "process.h"

namespace {

using enginetest::Connection;
using enginetest::Pattern;
using testsupport::NginxPeer;

constexpr uint8_t kAlawMono = 0x72;  // FLV sound format 7 (G.711 A-law), 16-bit, mono

struct FlvTag {
    uint8_t type;
    uint32_t timestamp;
    std::vector<char> body;
};

// FLV file format 10: 9-byte header, then tags each followed by its 4-byte size.
std::vector<FlvTag> ReadFlvTags(const std::string& data) {
    std::vector<FlvTag> tags;
    size_t pos = 13;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(data[i]); };
    while (data.size() >= 13 && data.compare(0, 3, "FLV") == 0 && pos + 11 <= data.size()) {
        const uint32_t size = byte(pos + 1) << 16 | byte(pos + 2) << 8 | byte(pos + 3);
        const uint32_t ts = byte(pos + 7) << 24 | byte(pos + 4) << 16 | byte(pos + 5) << 8 | byte(pos + 6);
        if (pos + 11 + size > data.size()) break;
        tags.push_back({byte(pos), ts, std::vector<char>(data.begin() + pos + 11, data.begin() + pos + 11 + size)});
        pos += 11 + size + 4;
    }
    return tags;
}

std::vector<char> AlawMessage(size_t samples, uint8_t seed) {
    std::vector<char> body = Pattern(samples + 1, seed);
    body[0] = static_cast<char>(kAlawMono);
    return body;
}

// Waits (bounded) until nginx has written the expected number of audio tags.
std::vector<FlvTag> WaitForAudioTags(const NginxPeer& nginx, const std::string& stream, size_t count) {
    std::vector<FlvTag> audio;
    for (int attempt = 0; attempt < 500 && audio.size() < count; ++attempt) {
        audio.clear();
        for (const FlvTag& tag : ReadFlvTags(testsupport::ReadFile(nginx.RecordPath(stream)))) {
            if (tag.type == 8) audio.push_back(tag);
        }
        if (audio.size() < count) usleep(20000);
    }
    return audio;
}

class NginxPublishTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(nginx_.Start()); }
    std::string Url(const std::string& stream) const {
        return "rtmp://127.0.0.1:" + std::to_string(nginx_.rtmp_port()) + "/live/" + stream;
    }
    NginxPeer nginx_;
};

TEST_F(NginxPublishTest, PublishedAudioArrivesByteForByteInTheRecording) {
    std::vector<std::vector<char>> sent;
    {
        Connection connection(Url("cam1"));
        ASSERT_TRUE(connection.Publish());
        EXPECT_EQ(connection.get()->m_outChunkSize, RTMP_PUBLISH_CHUNKSIZE);
        EXPECT_EQ(connection.get()->m_inChunkSize, 4096);  // nginx's chunk_size, taken during set-up
        EXPECT_EQ(connection.get()->m_bOvPlayStart, 0);
        for (uint32_t i = 0; i < 40; ++i) {
            sent.push_back(AlawMessage(160, static_cast<uint8_t>(i)));
            ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, i * 20, sent.back()));
        }
        sent.push_back(AlawMessage(130000, 99));  // three chunks of at most 60000 bytes
        ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, 800, sent.back()));
    }
    const std::vector<FlvTag> audio = WaitForAudioTags(nginx_, "cam1", sent.size());
    ASSERT_EQ(audio.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(audio[i].body, sent[i]) << "message " << i;
        EXPECT_EQ(audio[i].timestamp, i < 40 ? i * 20 : 800u);
    }
    const std::string probe = testsupport::CaptureCommand(
        "timeout 30 ffprobe -v error -count_packets -show_entries stream=codec_name,nb_read_packets "
        "-of default=nw=1 '" + nginx_.RecordPath("cam1") + "'");
    EXPECT_NE(probe.find("codec_name=pcm_alaw"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_packets=41"), std::string::npos) << probe;
}

TEST_F(NginxPublishTest, CloseFromAnotherThreadEndsABlockedReadAndSend) {
    Connection connection(Url("cam2"));
    ASSERT_TRUE(connection.Publish());
    std::atomic<bool> reading{false};
    std::atomic<int> read_result{-1};
    std::thread reader([&] {
        RTMPPacket packet;
        reading = true;
        int result = 1;
        while (result == 1) result = RTMP_ReadPacket(connection.get(), &packet);  // nginx sends nothing more
        RTMPPacket_Free(&packet);
        read_result = result;
    });
    std::thread sender([&] {
        const std::vector<char> body = AlawMessage(160, 1);
        for (uint32_t ts = 0; connection.Send(RTMP_PACKET_TYPE_AUDIO, ts, body); ts += 20) {
        }
    });
    while (!reading) std::this_thread::yield();
    usleep(100000);  // lets the reader reach the socket; the outcome is the same if it has not
    RTMP_Close(connection.get());
    reader.join();
    sender.join();
    EXPECT_EQ(read_result, 0);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    EXPECT_EQ(connection.get()->m_stream_id, -1);
}

TEST_F(NginxPublishTest, ServerThatDisappearsMidStreamEndsTheConnection) {
    Connection connection(Url("cam3"));
    ASSERT_TRUE(connection.Publish());
    const std::vector<char> body = AlawMessage(4000, 3);
    ASSERT_TRUE(connection.Send(RTMP_PACKET_TYPE_AUDIO, 0, body));
    nginx_.Kill();
    bool failed = false;
    for (uint32_t i = 1; i < 5000 && !failed; ++i) failed = !connection.Send(RTMP_PACKET_TYPE_AUDIO, i * 20, body);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(RTMP_IsConnected(connection.get()));
    RTMPPacket packet;
    EXPECT_EQ(RTMP_ReadPacket(connection.get(), &packet), 0);
}

}  // namespace
