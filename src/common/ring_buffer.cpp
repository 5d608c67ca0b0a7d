#include "common/ring_buffer.h"

#include <algorithm>
#include <cstring>

#include "utils/logger.h"

namespace {

constexpr uint32_t kMagic = 0xFCFCFCFC;
constexpr uint32_t kHeaderSize = 12;  // magic, frame length, side-record length
constexpr uint32_t kInitialReadBufferSize = 32768;
constexpr uint32_t kReadBufferStep = 16384;

// Whole steps up to the need, then headroom growing with the size, so that a run of large key frames does
// not reallocate on every frame.
uint32_t GrownReadBufferSize(uint32_t capacity, uint32_t needed) {
    while (capacity < needed) capacity += kReadBufferStep;
    uint32_t headroom_steps = 4;
    if (capacity <= 51199) {
        headroom_steps = 1;
    } else if (capacity <= 102399) {
        headroom_steps = 2;
    } else if (capacity <= 153599) {
        headroom_steps = 3;
    }
    capacity += headroom_steps * kReadBufferStep;
    return std::min(capacity, FrameRingBuffer::kMaxFrameSize);
}

}  // namespace

FrameRingBuffer::FrameRingBuffer(unsigned int max_size)
    : RingBuffer(max_size),
      read_buf_(new unsigned char[kInitialReadBufferSize]),
      current_buf_size_(kInitialReadBufferSize) {}

void FrameRingBuffer::SetPackageDropStrategy(int strategy) {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    RingBuffer::SetPackageDropStrategy(strategy);
}

int FrameRingBuffer::DataOneFrameIn(const unsigned char* buf, unsigned int buf_size,
                                    const MediaSpecialInfo* special_buf, unsigned int special_buf_size) {
    if (buf_size > kMaxFrameSize || special_buf_size > kMaxSpecialSize) return RING_BUFFER_ERROR_FRAME_TOO_LARGE;
    // A shorter side record could not even carry the key flag the bookkeeping depends on.
    if (buf == nullptr || buf_size == 0 || special_buf == nullptr || special_buf_size < sizeof(MediaSpecialInfo)) {
        return RING_BUFFER_ERROR_ILLEGAL_INPUT;
    }
    const bool key_frame = special_buf->key_frame != 0;

    std::lock_guard<std::mutex> lock(frame_mutex_);
    if (wait_key_frame_ && !key_frame) {
        LOGV("Drop old non-inner frame");
        return RING_BUFFER_ERROR_DROP_NO_INNER_FRAME;
    }

    const uint32_t need = buf_size + special_buf_size + kHeaderSize;
    if (data_size_ < need) {
        LOGD("Data is too large, drop it");
        return RING_BUFFER_ERROR_FRAME_TOO_LARGE;
    }
    if (GetDataUnused() < need && package_drop_strategy_ == PACKAGE_DROP_NEW_FRAME) {
        return RING_BUFFER_ERROR_DO_NOT_DROP_FRAME;
    }
    bool dropped = false;
    while (GetDataUnused() < need) {
        if (dropOldestLocked(key_frame) == DropResult::PART_DROPPED) {
            dropped = true;
        } else if (!key_frame) {
            // Nothing decodable is left: a P-frame would only start a broken group.
            wait_key_frame_ = true;
            return RING_BUFFER_ERROR_WAIT_KEY_FRAME;
        }
    }
    writeElementLocked(buf, buf_size, special_buf, special_buf_size);
    // Only a key frame actually stored ends the wait: one refused as too large must not let P-frames in.
    if (key_frame) wait_key_frame_ = false;
    return dropped ? RING_BUFFER_ERROR_DROP_HAPPEN : RING_BUFFER_ERROR_NONE;
}

FrameRingBuffer::DropResult FrameRingBuffer::dropOldestLocked(bool new_frame_key) {
    if (key_position_.empty()) {
        LOGD("Drop part of GOP, no useful data, wait for key frame = %d", new_frame_key ? 1 : 0);
        CleanAllData();
        return DropResult::EMPTIED;
    }
    if (key_position_.front().index != out_index_) {
        // The reader is inside a group: the rest of it goes first.
        out_index_ = key_position_.front().index;
        LOGD("Drop part of GOP, remaining = %d", static_cast<int>(key_position_.size()));
        return DropResult::PART_DROPPED;
    }
    if (key_position_.size() > 1) {
        key_position_.pop_front();
        out_index_ = key_position_.front().index;
        LOGD("Drop full GOP, remaining = %d", static_cast<int>(key_position_.size()));
        return DropResult::PART_DROPPED;
    }
    LOGD("Drop full GOP, no useful data, wait for key frame = %d", new_frame_key ? 1 : 0);
    CleanAllData();
    key_position_.clear();
    return DropResult::EMPTIED;
}

void FrameRingBuffer::writeElementLocked(const unsigned char* buf, uint32_t buf_size,
                                         const MediaSpecialInfo* special_buf, uint32_t special_buf_size) {
    const uint32_t start = in_index_;
    const uint32_t header[3] = {kMagic, buf_size, special_buf_size};
    dataCopyIn(reinterpret_cast<const unsigned char*>(header), kHeaderSize);
    dataCopyIn(buf, buf_size);
    dataCopyIn(reinterpret_cast<const unsigned char*>(special_buf), special_buf_size);
    const PositionProperty position{start, special_buf->present_time};
    if (special_buf->key_frame != 0) key_position_.push_back(position);
    if (special_buf->type == MEDIA_SPECIAL_TYPE_VIDEO) last_video_position_ = position;
}

int FrameRingBuffer::DataOneFrameOut(unsigned char** buf, unsigned int* buf_size, MediaSpecialInfo** special_buf,
                                     unsigned int* special_buf_size) {
    if (buf == nullptr || buf_size == nullptr || special_buf == nullptr || special_buf_size == nullptr) {
        return RING_BUFFER_ERROR_ILLEGAL_INPUT;
    }
    std::lock_guard<std::mutex> lock(frame_mutex_);
    if (GetDataUsed() == 0) return RING_BUFFER_ERROR_NOT_ENOUGH_DATA;
    const uint32_t start = out_index_;
    uint32_t frame_size = 0;
    uint32_t special_size = 0;
    if (!readHeaderLocked(&frame_size, &special_size)) {
        LOGE("Should not happen, data was corrupted");
        return RING_BUFFER_ERROR_READ_ERROR;
    }
    readPayloadLocked(frame_size, special_size);
    *buf = read_buf_.get();
    *buf_size = frame_size;
    *special_buf = &read_special_buf_;
    *special_buf_size = std::min<uint32_t>(special_size, sizeof(MediaSpecialInfo));
    if (read_special_buf_.key_frame != 0 && !takeKeyPositionLocked(start)) return RING_BUFFER_ERROR_READ_ERROR;
    return RING_BUFFER_ERROR_NONE;
}

// Consumes the header; false when it is not one this buffer wrote, or announces more than the ring holds.
bool FrameRingBuffer::readHeaderLocked(uint32_t* frame_size, uint32_t* special_size) {
    uint32_t header[3] = {0, 0, 0};
    if (GetDataUsed() < kHeaderSize) {
        out_index_ = in_index_;
        return false;
    }
    dataCopyOut(kHeaderSize, reinterpret_cast<unsigned char*>(header), false);
    if (header[0] != kMagic) return false;
    *frame_size = header[1];
    *special_size = header[2];
    return *frame_size > 0 && *frame_size <= kMaxFrameSize && *special_size >= sizeof(MediaSpecialInfo) &&
           *special_size <= kMaxSpecialSize && *frame_size + *special_size <= GetDataUsed();
}

void FrameRingBuffer::readPayloadLocked(uint32_t frame_size, uint32_t special_size) {
    ensureReadBufferLocked(frame_size);
    dataCopyOut(frame_size, read_buf_.get(), false);
    read_special_buf_ = MediaSpecialInfo{};
    const uint32_t kept = std::min<uint32_t>(special_size, sizeof(MediaSpecialInfo));
    dataCopyOut(kept, reinterpret_cast<unsigned char*>(&read_special_buf_), false);
    out_index_ += special_size - kept;
}

void FrameRingBuffer::ensureReadBufferLocked(uint32_t frame_size) {
    if (frame_size <= current_buf_size_) return;
    current_buf_size_ = GrownReadBufferSize(current_buf_size_, frame_size);
    read_buf_.reset(new unsigned char[current_buf_size_]);
}

// A key frame leaves the buffer: it must be the oldest listed one.
bool FrameRingBuffer::takeKeyPositionLocked(uint32_t element_index) {
    uint32_t listed = 0;
    if (!key_position_.empty()) {
        listed = key_position_.front().index;
        key_position_.pop_front();
        if (listed == element_index) return true;
    }
    LOGE("index error, %u %u %u", listed, element_index, in_index_);
    return false;
}

void FrameRingBuffer::CleanAllFrameData() {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    CleanAllData();
    key_position_.clear();
    last_video_position_ = PositionProperty{};
}

void FrameRingBuffer::DropToOldIFrame() {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    out_index_ = key_position_.empty() ? in_index_ : key_position_.front().index;
}

unsigned int FrameRingBuffer::GetUsePercent() const {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    return GetDataUsed() / (data_size_ / 100);
}

PositionProperty FrameRingBuffer::GetLastVideoPosition() const {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    return last_video_position_;
}
