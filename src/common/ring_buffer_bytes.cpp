#include "common/ring_buffer_bytes.h"

#include <algorithm>
#include <cstring>

#include "utils/logger.h"

namespace {

constexpr uint32_t kMinCapacity = 1024;
constexpr uint32_t kMaxCapacity = 8388608;

uint32_t ChooseCapacity(uint32_t requested) {
    uint32_t capacity = kMinCapacity;
    while (capacity < requested && capacity < kMaxCapacity) capacity <<= 1;
    return capacity;
}

}  // namespace

RingBuffer::RingBuffer(unsigned int max_size)
    : mask_(ChooseCapacity(max_size) - 1),
      data_size_(mask_ + 1),
      data_(new unsigned char[data_size_]) {
    LOGD("data_size_ = %d", static_cast<int>(data_size_));
}

void RingBuffer::CleanAllData() {
    in_index_ = 0;
    out_index_ = 0;
}

void RingBuffer::SetPackageDropStrategy(int strategy) {
    if (strategy != PACKAGE_DROP_OLD_GOP && strategy != PACKAGE_DROP_NEW_FRAME) {
        LOGE("Illegal drop strategy %d", strategy);
        return;
    }
    package_drop_strategy_ = strategy;
}

int RingBuffer::dataCopyIn(const unsigned char* buf, unsigned int size) {
    if (buf == nullptr || size == 0) return RING_BUFFER_ERROR_ILLEGAL_INPUT;
    if (GetDataUnused() < size) {
        LOGE("no enough buffer, remain %d, required %d", static_cast<int>(GetDataUnused()), static_cast<int>(size));
        return RING_BUFFER_ERROR_FULL;
    }
    const uint32_t offset = in_index_ & mask_;
    const uint32_t first = std::min(size, data_size_ - offset);
    memcpy(data_.get() + offset, buf, first);
    memcpy(data_.get(), buf + first, size - first);
    in_index_ += size;
    return RING_BUFFER_ERROR_NONE;
}

int RingBuffer::dataCopyOut(unsigned int size, unsigned char* buf, bool not_remove_after_copy) {
    if (buf == nullptr || size == 0) {
        LOGE("invalid param");
        return RING_BUFFER_ERROR_ILLEGAL_INPUT;
    }
    if (GetDataUsed() < size) {
        LOGE("not enough data for read");
        return RING_BUFFER_ERROR_NOT_ENOUGH_DATA;
    }
    const uint32_t offset = out_index_ & mask_;
    const uint32_t first = std::min(size, data_size_ - offset);
    memcpy(buf, data_.get() + offset, first);
    memcpy(buf + first, data_.get(), size - first);
    if (!not_remove_after_copy) out_index_ += size;
    return RING_BUFFER_ERROR_NONE;
}
