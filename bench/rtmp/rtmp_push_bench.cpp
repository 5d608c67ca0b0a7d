// Push throughput of the RTMP client against ffmpeg: the same 60 s H.264+AAC stream goes to the same
// local nginx as fast as the socket takes it, once through IOT_RTMP_* and once with
// `ffmpeg -c copy -f flv`. Prints both throughputs and CPU times, their ratios, and the client's
// heap allocations per frame once it is past its first frames.
#include <sys/resource.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "allocation_counter.h"
#include "media_pusher.h"
#include "media_reader.h"
#include "peers.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"

namespace {

using facadetest::MediaPusher;
using facadetest::PushMedia;
using facadetest::PushStep;

constexpr int kSeconds = 60;
constexpr int kFps = 25;
constexpr int kSampleRate = 44100;
constexpr size_t kWarmUpFrames = 200;  // buffers have grown and the configurations are out

struct Measurement {
    double wall_s = 0;
    double cpu_s = 0;
    uint64_t bytes = 0;
    size_t frames = 0;
    double allocations_per_frame = 0;
    uint64_t warm_up_allocations = 0;  // connect, set-up and the first frames
    bool ok = false;
};

double Seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Measurement PushWithClient(const PushMedia& media, std::string url) {
    Measurement m;
    rtmp_client_s* client = nullptr;
    if (IOT_RTMP_Init(&client) != 0) return m;
    zenq_rtmp_config_s config{};
    config.timestamp_type = 1;
    config.video_format = ZENQ_RTMP_VIDEO_FORMAT_AVC;
    config.audio_format = ZENQ_RTMP_AUDIO_FORMAT_AAC;
    config.audio_rate = ZENQ_RTMP_AUDIO_RATE_44K;
    config.audio_extern_rate = ZENQ_RTMP_AUDIO_EXTERN_RATE_44100;
    config.audio_bit = ZENQ_RTMP_AUDIO_BIT_16BIT;
    config.duration_s = kSeconds;
    IOT_RTMP_SetConfig(client, &config);
    std::vector<PushStep> schedule = facadetest::PushSchedule(media);
    MediaPusher pusher(media);

    uint64_t at_start = AllocationCount();
    double wall = WallSeconds(), cpu = CpuSeconds(RUSAGE_SELF);
    int failures = IOT_RTMP_Connect(client, url.data()) == 0 && IOT_RTMP_SendMetadata(client) == 0 ? 0 : 1;
    uint64_t allocations = 0;
    for (size_t i = 0; i < schedule.size() && failures == 0; ++i) {
        if (i == kWarmUpFrames) {
            allocations = AllocationCount();
            m.warm_up_allocations = allocations - at_start;
        }
        failures += pusher.Send(client, schedule[i]) != 0;
    }
    uint64_t steady_allocations = AllocationCount() - allocations;
    IOT_RTMP_Disconnect(client);
    m.wall_s = WallSeconds() - wall;
    m.cpu_s = CpuSeconds(RUSAGE_SELF) - cpu;
    IOT_RTMP_Deinit(client);
    m.bytes = pusher.bytes();
    m.frames = schedule.size();
    m.allocations_per_frame =
        static_cast<double>(steady_allocations) / static_cast<double>(schedule.size() - kWarmUpFrames);
    m.ok = failures == 0;
    return m;
}

Measurement PushWithFfmpeg(const std::string& flv, const std::string& url, const Measurement& reference) {
    Measurement m;
    double wall = WallSeconds(), cpu = CpuSeconds(RUSAGE_CHILDREN);
    m.ok = testsupport::RunCommand("timeout 120 ffmpeg -nostdin -v error -i '" + flv + "' -c copy -f flv '" + url +
                                   "'") == 0;
    m.wall_s = WallSeconds() - wall;
    m.cpu_s = CpuSeconds(RUSAGE_CHILDREN) - cpu;
    m.bytes = reference.bytes;
    m.frames = reference.frames;
    return m;
}

void Print(const char* name, const Measurement& m) {
    std::printf("%-8s wall %7.3f s  cpu %7.3f s  %8.1f MB/s  %9.0f frames/s%s\n", name, m.wall_s, m.cpu_s,
                static_cast<double>(m.bytes) / m.wall_s / 1e6, static_cast<double>(m.frames) / m.wall_s,
                m.ok ? "" : "  (FAILED)");
}

}  // namespace

int main() {
    testsupport::TempDir dir;
    std::string h264 = dir.File("bench.h264"), aac = dir.File("bench.aac"), flv = dir.File("bench.flv");
    // A camera-like bit rate (2 Mbit/s at 640x360), so the push moves real volumes of data.
    if (testsupport::RunCommand(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=" + std::to_string(kFps) + " -t " +
            std::to_string(kSeconds) + " -pix_fmt yuv420p -c:v libx264 -preset veryfast -b:v 2M -g 50 -bf 0 -f h264 '" +
            h264 + "'") != 0 ||
        !facadetest::MakeAdtsAac(aac, kSeconds, kSampleRate, 2) ||
        testsupport::RunCommand("ffmpeg -nostdin -v error -y -i '" + h264 + "' -i '" + aac + "' -c copy -f flv '" +
                                flv + "'") != 0) {
        std::fprintf(stderr, "could not make the benchmark media with ffmpeg\n");
        return 1;
    }
    PushMedia media{facadetest::ReadAccessUnits(facadetest::VideoCodec::kH264, facadetest::ReadBytes(h264)), kFps,
                    facadetest::ReadAdtsFrames(facadetest::ReadBytes(aac)), kSampleRate};
    testsupport::NginxPeer nginx;
    if (!nginx.Start()) {
        std::fprintf(stderr, "nginx did not start\n");
        return 1;
    }
    std::string base = "rtmp://127.0.0.1:" + std::to_string(nginx.rtmp_port()) + "/live/";
    uint64_t media_bytes = 0;
    for (const auto& unit : media.video) media_bytes += unit.bytes.size();
    for (const auto& frame : media.audio) media_bytes += frame.size();
    std::printf("media: %zu video + %zu audio frames, %.1f MB, %d s\n", media.video.size(), media.audio.size(),
                static_cast<double>(media_bytes) / 1e6, kSeconds);
    Measurement client = PushWithClient(media, base + "client");
    Measurement ffmpeg = PushWithFfmpeg(flv, base + "ffmpeg", client);
    Print("client", client);
    Print("ffmpeg", ffmpeg);
    std::printf("ratio client/ffmpeg: throughput %.2f  cpu %.2f\n", ffmpeg.wall_s / client.wall_s,
                client.cpu_s / ffmpeg.cpu_s);
    std::printf(
        "client allocations: %llu while connecting and sending the first %zu frames, then %.3f per frame"
        " (counted: %s)\n",
        static_cast<unsigned long long>(client.warm_up_allocations), kWarmUpFrames, client.allocations_per_frame,
        AllocationCounterScope());
    nginx.Stop();
    return client.ok && ffmpeg.ok ? 0 : 1;
}
