// Drives one frame ring buffer with random operations: frames of random sizes and key flags, reads, clean
// and drop-to-key-frame calls, both drop strategies. Every frame that comes out must be intact, and the
// first video frame after a gap (frames that were stored but never came out) must be a key frame.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/ring_buffer.h"
#include "frame_pattern.h"
#include "utils/logger.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return position_ >= size_; }
    uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    uint32_t Short() {
        const uint32_t high = Byte();
        return high << 8 | Byte();
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

class Driver {
public:
    explicit Driver(uint32_t capacity) : ring_(capacity) {}

    void Put(Input& in) {
        const uint8_t flags = in.Byte();
        const bool key_frame = flags & 1;
        const int type = flags & 2 ? MEDIA_SPECIAL_TYPE_AUDIO : MEDIA_SPECIAL_TYPE_VIDEO;
        // Mostly frames that fit a few times over; now and then one that cannot fit at all.
        const uint32_t capacity = ring_.GetDataTotalSize();
        const uint32_t size = flags & 4 ? capacity : 1 + in.Short() % (capacity / 4);
        const std::vector<uint8_t> bytes = frame_pattern::Bytes(next_, size);
        const MediaSpecialInfo info = frame_pattern::Info(next_, key_frame && type == MEDIA_SPECIAL_TYPE_VIDEO, type);
        const int ret = ring_.DataOneFrameIn(bytes.data(), size, &info, sizeof(info));
        if (ret == RING_BUFFER_ERROR_NONE || ret == RING_BUFFER_ERROR_DROP_HAPPEN) stored_.push_back(next_);
        if (ret != RING_BUFFER_ERROR_NONE && ret != RING_BUFFER_ERROR_DROP_HAPPEN &&
            ret != RING_BUFFER_ERROR_FRAME_TOO_LARGE && ret != RING_BUFFER_ERROR_WAIT_KEY_FRAME &&
            ret != RING_BUFFER_ERROR_DROP_NO_INNER_FRAME && ret != RING_BUFFER_ERROR_DO_NOT_DROP_FRAME) {
            abort();
        }
        ++next_;
    }

    void Take() {
        unsigned char* buf = nullptr;
        unsigned int size = 0;
        MediaSpecialInfo* info = nullptr;
        unsigned int info_size = 0;
        const int ret = ring_.DataOneFrameOut(&buf, &size, &info, &info_size);
        if (ret == RING_BUFFER_ERROR_NOT_ENOUGH_DATA) {
            // Whatever was still owed was dropped; frames from before a restart may simply be gone.
            if (stored_.size() > std::max(consumed_, restart_)) gap_ = true;
            consumed_ = stored_.size();
            return;
        }
        if (ret != RING_BUFFER_ERROR_NONE || info_size != sizeof(MediaSpecialInfo)) abort();
        if (!frame_pattern::Intact(buf, size, *info)) abort();
        // Frames come out in the order stored; skipping any of them is a drop.
        size_t found = consumed_;
        while (found < stored_.size() && stored_[found] != info->packet_num) ++found;
        if (found == stored_.size()) abort();
        const bool skipped_since_restart = found > std::max(consumed_, restart_);
        const bool restarted_at_old_frame = consumed_ < std::min(found, restart_) && found < restart_;
        if (skipped_since_restart || restarted_at_old_frame) gap_ = true;
        if (gap_ && (info->key_frame == 0 || info->type != MEDIA_SPECIAL_TYPE_VIDEO)) abort();
        gap_ = false;
        consumed_ = found + 1;
    }

    void Clean() {
        ring_.CleanAllFrameData();
        consumed_ = stored_.size();  // nothing from before may come out, and no gap is owed
        gap_ = false;
    }

    // The reader moves to the oldest buffered key frame, or, with none buffered, everything goes; frames
    // stored from here on are owed nothing by it.
    void DropToKeyFrame() {
        ring_.DropToOldIFrame();
        restart_ = stored_.size();
    }

    void SetStrategy(Input& in) { ring_.SetPackageDropStrategy(in.Byte() & 1); }
    void Percent() {
        const unsigned int capacity = ring_.GetDataTotalSize();
        if (ring_.GetUsePercent() > capacity / (capacity / 100)) abort();
    }

private:
    FrameRingBuffer ring_;
    uint64_t next_ = 0;
    std::vector<uint64_t> stored_;  // sequence numbers accepted, in order
    size_t consumed_ = 0;           // stored_ before this index came out or were dropped
    size_t restart_ = 0;            // stored_.size() at the last DropToOldIFrame
    bool gap_ = false;              // the next frame out must be a video key frame
};

void Quiet(int, const char*, int, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    logger_set_user_define(Quiet);
    Input in(data, size);
    Driver driver(1024u << (in.Byte() % 5));
    while (!in.Empty()) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
            case 2:
                driver.Put(in);
                break;
            case 3:
            case 4:
                driver.Take();
                break;
            case 5:
                driver.Clean();
                break;
            case 6:
                driver.DropToKeyFrame();
                break;
            default:
                in.Byte() & 1 ? driver.SetStrategy(in) : driver.Percent();
                break;
        }
    }
    return 0;
}
