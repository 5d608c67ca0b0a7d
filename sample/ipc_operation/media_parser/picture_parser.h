// The picture source: one picture file, delivered every interval + 1 seconds and on request.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PictureParser {
public:
    // (picture, length, id): id is null for automatic pictures.
    using Handler = std::function<void(unsigned char*, unsigned int, const char*)>;

    static constexpr unsigned int kMaxBufferLen = 65536;
    static constexpr unsigned int kMinInterval = 10;

    // tick is the timer's second; tests shorten it.
    explicit PictureParser(Handler handler, std::chrono::milliseconds tick = std::chrono::seconds(1));
    ~PictureParser();
    PictureParser(const PictureParser&) = delete;
    PictureParser& operator=(const PictureParser&) = delete;

    // Loads the file and starts the timer; 0, or -1 when the file cannot be read or is too large.
    int Start(unsigned int interval_s, const std::string& file);
    // Delivers the picture now on the caller's thread, when running. Always 0.
    int Trigger(const char* id);
    void Stop();
    unsigned int interval() const { return picture_interval_; }

private:
    int LoadPicture(const std::string& file);
    void TimerLoop();

    Handler handler_;
    const std::chrono::milliseconds tick_;
    std::vector<unsigned char> buffer_;  // kMaxBufferLen; fixed after Start
    unsigned int buffer_len_ = 0;
    unsigned int picture_interval_ = kMinInterval;
    unsigned int count_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool running_ = false;
    std::thread thread_handler_;
};
