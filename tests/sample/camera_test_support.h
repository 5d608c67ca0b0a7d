// Shared pieces of the simulated camera's tests: media sets made by tools/make_media.py, a clock the test
// drives, and a recorder of the frames a reader delivers.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "local_time.h"
#include "media_file_format.h"
#include "net.h"

namespace camtest {

// Small sets, made on first use and shared by every test process of the build (the build tree's
// test_media directory, guarded by a file lock and remade when make_media.py changes):
//   "h265_aac"   3 s, 320x180, 15 fps, a key frame every second, AAC 16 kHz
//   "h264_g711a" 2 s, 160x120, 10 fps, a key frame every second, G.711 A-law 8 kHz
// and the picture "1.jpg".
class TestMedia {
public:
    static const TestMedia& Get();
    std::string Prefix(const std::string& name) const { return dir_ + "/" + name; }
    std::string Picture() const { return dir_ + "/1.jpg"; }
    bool ok() const { return ok_; }

private:
    TestMedia();
    bool Make() const;
    std::string dir_;
    bool ok_ = false;
};

// Runs tools/make_media.py with the camera's checker; returns its exit status.
int RunMakeMedia(const std::string& arguments);

std::vector<IndexInfo> LoadIndex(const std::string& prefix);
// Copies the three files of a set to a new prefix.
void CopySet(const std::string& from, const std::string& to);

class FakeClock {
public:
    MediaClock Function() {
        return [this] { return now_.load(); };
    }
    void Advance(uint64_t ms) { now_ += ms; }
    uint64_t now() const { return now_; }

private:
    std::atomic<uint64_t> now_{1000000};
};

struct Frame {
    uint32_t media_type;
    int service_id;
    int format;
    uint32_t timestamp;
    int key;
    uint32_t size;
};

class FrameRecorder {
public:
    void AddVideo(int service_id, int format, uint32_t size, uint32_t timestamp, int key);
    void AddAudio(int service_id, int format, uint32_t size, uint32_t timestamp);
    std::vector<Frame> Frames() const;
    size_t Count() const;
    // Waits (generously) until at least count frames have arrived.
    bool WaitForCount(size_t count) const;
    void Clear();

private:
    void Add(const Frame& frame);
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Frame> frames_;
};

// How many frames of the index (in time stamp order) are stamped at or before max_ts.
size_t CountUpTo(const std::vector<IndexInfo>& index, uint64_t max_ts);

// Lets the reader thread run a few steps, for checks that nothing more arrives.
void LetReaderRun();
// Polls (generously) until the condition holds.
bool WaitUntil(const std::function<bool()>& condition);

}  // namespace camtest
