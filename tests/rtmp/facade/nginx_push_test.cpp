// End to end against nginx's RTMP module: what the client pushes must decode in ffmpeg, both live
// and from nginx's recording, with every frame and timestamp as sent. H.265 (FLV codec 12, which this
// ffmpeg cannot demux) is taken out of the recording by tests/peers/flv_hevc_extract.py.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "flv_file.h"
#include "media_pusher.h"
#include "media_reader.h"
#include "peers.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"
#include "wire_bytes.h"

namespace facadetest {
namespace {

using testsupport::CaptureCommand;
using testsupport::ChildProcess;
using testsupport::NginxPeer;
using testsupport::TempDir;

constexpr int kFps = 25;
constexpr int kSampleRate = 44100;
constexpr int kPollMs = 50;
constexpr int kPollAttempts = 600;  // an upper bound on waiting for a peer, not a timing requirement

const Bytes kKey = FromHex("8899aabbccddeeff0011223344556677");
const Bytes kIv = FromHex("0f0e0d0c0b0a09080706050403020100");

struct Media {
    TempDir dir;
    PushMedia h264;
    PushMedia h265;
    std::string h265_path;
};

const Media& TestMedia() {
    static Media* media = [] {
        auto* m = new Media;
        std::string h264 = m->dir.File("src.h264"), h265 = m->dir.File("src.hevc"), aac = m->dir.File("src.aac");
        m->h265_path = h265;
        EXPECT_TRUE(MakeH264(h264, 3, kFps));
        EXPECT_TRUE(MakeH265(h265, 2, kFps));
        EXPECT_TRUE(MakeAdtsAac(aac, 3, kSampleRate, 1));
        std::vector<std::vector<uint8_t>> audio = ReadAdtsFrames(ReadBytes(aac));
        m->h264 = {ReadAccessUnits(VideoCodec::kH264, ReadBytes(h264)), kFps, audio, kSampleRate};
        m->h265 = {ReadAccessUnits(VideoCodec::kH265, ReadBytes(h265)), kFps, audio, kSampleRate};
        return m;
    }();
    return *media;
}

zenq_rtmp_config_s Config(zenq_rtmp_video_format_e video, bool encrypt) {
    zenq_rtmp_config_s config{};
    config.timestamp_type = 1;
    config.video_format = video;
    config.audio_format = ZENQ_RTMP_AUDIO_FORMAT_AAC;
    config.audio_rate = ZENQ_RTMP_AUDIO_RATE_44K;
    config.audio_extern_rate = ZENQ_RTMP_AUDIO_EXTERN_RATE_44100;
    config.audio_bit = ZENQ_RTMP_AUDIO_BIT_16BIT;
    config.audio_channel = ZENQ_RTMP_AUDIO_CHANNEL_MONO;
    config.duration_s = 3;
    config.stream_encrypt = encrypt ? 1 : 0;
    std::memcpy(config.key, kKey.data(), 16);
    std::memcpy(config.iv, kIv.data(), 16);
    return config;
}

int Occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

class PushToNginx : public testing::Test {
protected:
    void SetUp() override {
        TestMedia();
        ASSERT_TRUE(nginx_.Start());
    }

    std::string Url(const std::string& stream) const {
        return "rtmp://127.0.0.1:" + std::to_string(nginx_.rtmp_port()) + "/live/" + stream;
    }

    bool WaitForLog(const std::string& text, int count) {
        for (int i = 0; i < kPollAttempts; ++i) {
            if (Occurrences(nginx_.ErrorLog(), text) >= count) return true;
            usleep(kPollMs * 1000);
        }
        return false;
    }

    // "*N" of the nginx session that published stream, empty until its publish is logged.
    std::string PublishingSession(const std::string& stream) {
        for (const std::string& line : Lines(nginx_.ErrorLog())) {
            size_t at = line.find(" publish: name='" + stream + "'");
            size_t star = line.rfind('*', at);
            if (at != std::string::npos && star != std::string::npos) return line.substr(star, at - star);
        }
        return "";
    }

    // Publishes the media once and waits until nginx has ended that session, which closes its
    // recording (other sessions, like a port probe, end on their own).
    void Push(const std::string& stream, const PushMedia& media, const zenq_rtmp_config_s& config) {
        rtmp_client_s* client = nullptr;
        ASSERT_EQ(IOT_RTMP_Init(&client), 0);
        ASSERT_EQ(IOT_RTMP_SetConfig(client, &config), 0);
        std::string url = Url(stream);
        ASSERT_EQ(IOT_RTMP_Connect(client, url.data()), 0);
        PushResult result = PushAll(client, media);
        EXPECT_EQ(result.failures, 0);
        EXPECT_EQ(IOT_RTMP_Disconnect(client), 0);
        EXPECT_EQ(IOT_RTMP_Deinit(client), 0);
        std::string session = PublishingSession(stream);
        ASSERT_FALSE(session.empty());
        ASSERT_TRUE(WaitForLog(session + " disconnect", 1));
    }

    NginxPeer nginx_;
    TempDir work_;
};

// "video,40" lines of ffprobe, the ones of each kind in file order.
std::map<std::string, std::vector<std::string>> ProbePackets(const std::string& path) {
    std::map<std::string, std::vector<std::string>> packets;
    for (const std::string& line :
         Lines(CaptureCommand("ffprobe -v error -show_entries packet=codec_type,pts -of csv=p=0 '" + path + "'"))) {
        // codec_type,pts, then side-data columns on some packets.
        size_t comma = line.find(',');
        size_t end = line.find(',', comma + 1);
        packets[line.substr(0, comma)].push_back(
            line.substr(comma + 1, end == std::string::npos ? end : end - comma - 1));
    }
    return packets;
}

std::vector<std::string> SentTimestamps(size_t count, uint32_t (PushMedia::*timestamp)(size_t) const,
                                        const PushMedia& media) {
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) out.push_back(std::to_string((media.*timestamp)(i)));
    return out;
}

std::string DecodeErrors(const std::string& path, const std::string& format = "") {
    return CaptureCommand("ffmpeg -nostdin -v error " + format + " -i '" + path + "' -f null - 2>&1");
}

TEST_F(PushToNginx, H264AndAacDecodeLiveAndFromTheRecordingWithEveryFrameAndTimestamp) {
    const PushMedia& media = TestMedia().h264;
    ASSERT_GT(media.video.size(), 50u);
    ASSERT_GT(media.audio.size(), 100u);

    // The player joins before the publisher, so it sees the stream from its first frame.
    std::string crc = work_.File("live.crc");
    ChildProcess player;
    // -rw_timeout ends the player once the stream has been quiet for a second, so it flushes its
    // decoders and writes every frame.
    ASSERT_TRUE(
        player.Start({"timeout", "60", "ffmpeg", "-nostdin", "-v", "error", "-rw_timeout", "1000000", "-i", Url("pull"),
                      "-map", "0", "-fps_mode", "passthrough", "-flush_packets", "1", "-f", "framecrc", crc},
                     work_.File("player.log")));
    ASSERT_TRUE(WaitForLog("play: name='pull'", 1));
    Push("pull", media, Config(ZENQ_RTMP_VIDEO_FORMAT_AVC, false));

    for (int i = 0; i < kPollAttempts && player.Running(); ++i) usleep(kPollMs * 1000);
    player.Stop();
    std::map<char, size_t> decoded;
    for (const std::string& line : Lines(testsupport::ReadFile(crc))) {
        if (line[0] != '#') ++decoded[line[0]];
    }
    std::vector<size_t> counts;
    for (const auto& entry : decoded) counts.push_back(entry.second);
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (std::vector<size_t>{media.video.size(), media.audio.size()}));
    for (const std::string& line : Lines(testsupport::ReadFile(work_.File("player.log")))) {
        // The end of input is reported as an I/O error on the URL; nothing else may appear.
        EXPECT_TRUE(line.rfind(Url("pull") + ": ", 0) == 0 || line.find("Last message repeated") != std::string::npos)
            << line;
    }

    std::string record = nginx_.RecordPath("pull");
    std::map<std::string, std::vector<std::string>> packets = ProbePackets(record);
    EXPECT_EQ(packets["video"], SentTimestamps(media.video.size(), &PushMedia::VideoTimestamp, media));
    EXPECT_EQ(packets["audio"], SentTimestamps(media.audio.size(), &PushMedia::AudioTimestamp, media));
    EXPECT_EQ(DecodeErrors(record), "");
}

struct Extracted {
    cJSON* summary = nullptr;
    ~Extracted() { cJSON_Delete(summary); }
    int Field(const char* name) const {
        return cJSON_GetObjectItem(cJSON_GetObjectItem(summary, "record"), name)->valueint;
    }
};

TEST_F(PushToNginx, H265DecodesFromTheRecordingAndItsRecordMatchesTheSource) {
    const PushMedia& media = TestMedia().h265;
    ASSERT_GT(media.video.size(), 25u);
    Push("hevc", media, Config(ZENQ_RTMP_VIDEO_FORMAT_HEVC, false));

    std::string annexb = work_.File("out.hevc");
    Extracted extracted;
    extracted.summary =
        cJSON_Parse(CaptureCommand("/usr/bin/python3 '" + testsupport::SourcePath("tests/peers/flv_hevc_extract.py") +
                                   "' '" + nginx_.RecordPath("hevc") + "' '" + annexb + "'")
                        .c_str());
    ASSERT_NE(extracted.summary, nullptr);
    EXPECT_EQ(cJSON_GetObjectItem(extracted.summary, "records")->valueint, 1);
    cJSON* frames = cJSON_GetObjectItem(extracted.summary, "frames");
    ASSERT_EQ(static_cast<size_t>(cJSON_GetArraySize(frames)), media.video.size());
    for (size_t i = 0; i < media.video.size(); ++i) {
        cJSON* frame = cJSON_GetArrayItem(frames, static_cast<int>(i));
        EXPECT_EQ(static_cast<uint32_t>(cJSON_GetObjectItem(frame, "ts")->valueint), media.VideoTimestamp(i)) << i;
        EXPECT_EQ(cJSON_IsTrue(cJSON_GetObjectItem(frame, "key")), media.video[i].key_frame) << i;
    }

    // The record's fields are those ffprobe finds in the source; the extracted stream decodes cleanly
    // into the source's pictures.
    const std::string probe = "ffprobe -v error -show_entries stream=profile,level,pix_fmt,width,height -of csv=p=0 '";
    std::string source_probe = CaptureCommand(probe + TestMedia().h265_path + "'");
    EXPECT_EQ(source_probe, "Main,160,120,yuv420p,30\n");
    EXPECT_EQ(extracted.Field("profile_idc"), 1);
    EXPECT_EQ(extracted.Field("level_idc"), 30);
    EXPECT_EQ(extracted.Field("chroma_format"), 1);
    EXPECT_EQ(extracted.Field("bit_depth_luma_minus8"), 0);
    EXPECT_EQ(extracted.Field("bit_depth_chroma_minus8"), 0);
    EXPECT_EQ(CaptureCommand(probe + annexb + "'"), source_probe);
    EXPECT_EQ(DecodeErrors(annexb, "-f hevc"), "");
    EXPECT_EQ(
        CaptureCommand("ffprobe -v error -f hevc -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" +
                       annexb + "'"),
        std::to_string(media.video.size()) + "\n");
    std::map<std::string, std::vector<std::string>> packets = ProbePackets(nginx_.RecordPath("hevc"));
    EXPECT_EQ(packets["audio"], SentTimestamps(media.audio.size(), &PushMedia::AudioTimestamp, media));
}

// Video configuration and key frames from byte 5, audio whole; inter frames and data stay clear.
size_t ClearPrefix(const FlvTag& tag) {
    bool inter = tag.type == 9 && (tag.body[0] >> 4) == 2;
    if (tag.type == 18 || inter) return tag.body.size();
    return tag.type == 9 ? 5 : 0;
}

Bytes EncryptTagBody(const FlvTag& tag) {
    size_t clear = ClearPrefix(tag);
    if (clear == tag.body.size()) return tag.body;
    Bytes head(tag.body.begin(), tag.body.begin() + static_cast<long>(clear));
    return Concat({head, AesCbcEncrypt(kKey, kIv, Bytes(tag.body.begin() + static_cast<long>(clear), tag.body.end()))});
}

Bytes DecryptTagBody(const FlvTag& tag, size_t clear) {
    if (clear == tag.body.size()) return tag.body;
    Bytes head(tag.body.begin(), tag.body.begin() + static_cast<long>(clear));
    return Concat({head, AesCbcDecrypt(kKey, kIv, Bytes(tag.body.begin() + static_cast<long>(clear), tag.body.end()))});
}

// The tags nginx records of the encrypted push, derived from the clear recording: nginx's record
// module repeats the AAC sequence header it cached at the start of a clear file, and holds back an
// encrypted audio body whose first nibble happens to read as AAC (10) without a header before it.
std::vector<FlvTag> ExpectedEncryptedRecording(const std::vector<FlvTag>& clear) {
    std::vector<FlvTag> expected;
    for (size_t i = 0; i < clear.size(); ++i) {
        const FlvTag& tag = clear[i];
        if (i > 0 && tag.type == clear[i - 1].type && tag.timestamp == clear[i - 1].timestamp &&
            tag.body == clear[i - 1].body) {
            continue;
        }
        FlvTag encrypted{tag.type, tag.timestamp, EncryptTagBody(tag)};
        if (tag.type == 8 && (encrypted.body[0] >> 4) == ZENQ_RTMP_AUDIO_FORMAT_AAC) continue;
        expected.push_back(encrypted);
    }
    return expected;
}

TEST_F(PushToNginx, EncryptedRecordingDecryptsToExactlyTheClearRecording) {
    const PushMedia& media = TestMedia().h264;
    Push("clear", media, Config(ZENQ_RTMP_VIDEO_FORMAT_AVC, false));
    Push("secret", media, Config(ZENQ_RTMP_VIDEO_FORMAT_AVC, true));
    std::vector<FlvTag> clear = ReadFlvTags(nginx_.RecordPath("clear"));
    std::vector<FlvTag> secret = ReadFlvTags(nginx_.RecordPath("secret"));
    ASSERT_GT(clear.size(), media.video.size() + media.audio.size());
    EXPECT_EQ(DecodeErrors(nginx_.RecordPath("clear")), "");

    std::vector<FlvTag> expected = ExpectedEncryptedRecording(clear);
    ASSERT_EQ(secret.size(), expected.size());
    size_t video = 0;
    for (size_t i = 0; i < secret.size(); ++i) {
        ASSERT_EQ(secret[i].type, expected[i].type) << i;
        EXPECT_EQ(secret[i].timestamp, expected[i].timestamp) << i;
        EXPECT_EQ(ToHex(secret[i].body), ToHex(expected[i].body)) << i;
        if (secret[i].type == 9) ++video;
    }
    EXPECT_EQ(video, media.video.size() + 1);  // every frame and the avcC, none held back

    // And the other way round: each recorded body decrypts to its clear original.
    size_t c = 0;
    for (const FlvTag& tag : secret) {
        while (c < clear.size() && (clear[c].type != tag.type || clear[c].timestamp != tag.timestamp ||
                                    EncryptTagBody(clear[c]) != tag.body)) {
            ++c;
        }
        ASSERT_LT(c, clear.size());
        EXPECT_EQ(DecryptTagBody(tag, ClearPrefix(clear[c])), clear[c].body);
    }
}

}  // namespace
}  // namespace facadetest
