// Throughput of the frame ring buffer: one producer and one consumer thread moving video-sized frames
// through a relay-sized ring, and the single-thread cost of one frame in and out.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "common/ring_buffer.h"
#include "utils/logger.h"

namespace {

void Quiet(int, const char*, int, const char*, ...) {}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void SingleThread(uint32_t frame_size, int frames) {
    FrameRingBuffer ring(1048576);
    std::vector<unsigned char> frame(frame_size, 0x42);
    MediaSpecialInfo info{MEDIA_SPECIAL_TYPE_VIDEO, 0, 1, 0, 0};
    unsigned char* out;
    unsigned int out_size;
    MediaSpecialInfo* out_info;
    unsigned int out_info_size;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        ring.DataOneFrameIn(frame.data(), frame_size, &info, sizeof(info));
        ring.DataOneFrameOut(&out, &out_size, &out_info, &out_info_size);
    }
    const double seconds = Seconds(start);
    printf("single thread, %7u-byte frames: %8.0f frames/s, %8.1f MB/s\n", frame_size, frames / seconds,
           frames * static_cast<double>(frame_size) / seconds / 1e6);
}

void ProducerConsumer(uint32_t frame_size, int frames) {
    FrameRingBuffer ring(2097152);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        std::vector<unsigned char> frame(frame_size, 0x42);
        for (int i = 0; i < frames; ++i) {
            MediaSpecialInfo info{MEDIA_SPECIAL_TYPE_VIDEO, static_cast<uint32_t>(i), i % 25 == 0, 0,
                                  static_cast<uint64_t>(i)};
            ring.DataOneFrameIn(frame.data(), frame_size, &info, sizeof(info));
        }
        done = true;
    });
    unsigned char* out;
    unsigned int out_size;
    MediaSpecialInfo* out_info;
    unsigned int out_info_size;
    long received = 0;
    const auto start = std::chrono::steady_clock::now();
    while (true) {
        if (ring.DataOneFrameOut(&out, &out_size, &out_info, &out_info_size) == RING_BUFFER_ERROR_NONE) {
            ++received;
        } else if (done) {
            break;
        }
    }
    producer.join();
    const double seconds = Seconds(start);
    printf("producer/consumer, %7u-byte frames: %8.0f frames/s received, %ld of %d (rest dropped by GOP)\n",
           frame_size, received / seconds, received, frames);
}

}  // namespace

int main() {
    logger_set_user_define(Quiet);
    for (uint32_t size : {1000u, 30000u, 200000u}) SingleThread(size, 20000);
    for (uint32_t size : {1000u, 30000u}) ProducerConsumer(size, 50000);
    return 0;
}
