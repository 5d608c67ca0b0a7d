#include "camera_test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "index_reader.h"
#include "peers.h"
#include "process.h"

namespace camtest {

int RunMakeMedia(const std::string& arguments) {
    return testsupport::RunCommand("/usr/bin/python3 '" + testsupport::SourcePath("tools/make_media.py") +
                                   "' --checker '" OV_MEDIA_CHECK_PATH "' " + arguments + " >/dev/null 2>&1");
}

namespace {

// Names the tool version the shared sets were made with, so a changed tool remakes them.
std::string ToolStamp() {
    struct stat info {};
    if (stat(testsupport::SourcePath("tools/make_media.py").c_str(), &info) != 0) return "";
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + ":" +
           std::to_string(info.st_mtim.tv_nsec);
}

}  // namespace

bool TestMedia::Make() const {
    return RunMakeMedia("--output '" + Prefix("h265_aac") +
                        "' --codec h265 --audio aac --size 320x180 --fps 15 --duration 3 --keyint 1") == 0 &&
           RunMakeMedia("--output '" + Prefix("h264_g711a") +
                        "' --codec h264 --audio g711a --size 160x120 --fps 10 --duration 2 --keyint 1") == 0 &&
           RunMakeMedia("--size 160x120 --picture '" + Picture() + "'") == 0;
}

TestMedia::TestMedia() : dir_(OV_CAMERA_TEST_MEDIA_DIR) {
    std::filesystem::create_directories(dir_);
    // Test processes run in parallel: one makes the sets, the others wait for it.
    int lock = open((dir_ + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return;
    const std::string stamp_path = dir_ + "/.made_with";
    const std::string stamp = ToolStamp();
    ok_ = !stamp.empty() && testsupport::ReadFile(stamp_path) == stamp && std::filesystem::exists(Picture());
    if (!ok_) {
        std::remove(stamp_path.c_str());
        ok_ = Make() && testsupport::WriteFile(stamp_path, stamp);
    }
    flock(lock, LOCK_UN);
    close(lock);
}

const TestMedia& TestMedia::Get() {
    static TestMedia media;
    return media;
}

std::vector<IndexInfo> LoadIndex(const std::string& prefix) {
    return ParseIndex(testsupport::ReadFile(IndexFileName(prefix))).index;
}

void CopySet(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    const auto options = fs::copy_options::overwrite_existing;
    fs::copy_file(from, to, options);
    fs::copy_file(IndexFileName(from), IndexFileName(to), options);
    fs::copy_file(MetaFileName(from), MetaFileName(to), options);
}

void FrameRecorder::AddVideo(int service_id, int format, uint32_t size, uint32_t timestamp, int key) {
    Add({kMediaTypeVideo, service_id, format, timestamp, key, size});
}

void FrameRecorder::AddAudio(int service_id, int format, uint32_t size, uint32_t timestamp) {
    Add({kMediaTypeAudio, service_id, format, timestamp, 0, size});
}

void FrameRecorder::Add(const Frame& frame) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(frame);
    }
    arrived_.notify_all();
}

std::vector<Frame> FrameRecorder::Frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

size_t FrameRecorder::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

bool FrameRecorder::WaitForCount(size_t count) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return frames_.size() >= count; });
}

void FrameRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
}

size_t CountUpTo(const std::vector<IndexInfo>& index, uint64_t max_ts) {
    size_t count = 0;
    while (count < index.size() && index[count].timestamp <= max_ts) ++count;
    return count;
}

void LetReaderRun() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace camtest
