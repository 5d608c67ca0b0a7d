#include "picture_parser.h"

#include <algorithm>
#include <cstdio>

#include "media_files.h"

PictureParser::PictureParser(Handler handler, std::chrono::milliseconds tick)
    : handler_(std::move(handler)), tick_(tick), buffer_(kMaxBufferLen) {}

PictureParser::~PictureParser() { Stop(); }

int PictureParser::LoadPicture(const std::string& file) {
    StreamFile picture(std::fopen(file.c_str(), "rb"));
    if (!picture) {
        std::printf("Open file failed: %s\n", file.c_str());
        return -1;
    }
    // One byte more than fits tells a full buffer from a file that is too large.
    std::vector<unsigned char> probe(kMaxBufferLen + 1);
    size_t got = std::fread(probe.data(), 1, probe.size(), picture.get());
    if (got > kMaxBufferLen) {
        std::printf("File is too large: %s\n", file.c_str());
        return -1;
    }
    if (std::ferror(picture.get()) != 0) {
        std::printf("File read error: %s\n", file.c_str());
        return -1;
    }
    std::copy(probe.begin(), probe.begin() + static_cast<long>(got), buffer_.begin());
    buffer_len_ = static_cast<unsigned int>(got);
    return 0;
}

int PictureParser::Start(unsigned int interval_s, const std::string& file) {
    Stop();
    if (LoadPicture(file) != 0) return -1;
    picture_interval_ = std::max(interval_s, kMinInterval);
    count_ = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = true;
    }
    thread_handler_ = std::thread(&PictureParser::TimerLoop, this);
    return 0;
}

int PictureParser::Trigger(const char* id) {
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running = running_;
    }
    if (running) handler_(buffer_.data(), buffer_len_, id);
    return 0;
}

void PictureParser::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (thread_handler_.joinable()) thread_handler_.join();
}

void PictureParser::TimerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (running_) {
        // Waking early on Stop keeps a stop from waiting out the second.
        if (wake_.wait_for(lock, tick_, [this] { return !running_; })) break;
        if (++count_ <= picture_interval_) continue;
        count_ = 0;
        lock.unlock();
        handler_(buffer_.data(), buffer_len_, nullptr);
        lock.lock();
    }
}
