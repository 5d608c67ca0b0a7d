// A power-of-two byte ring with free-running indices. It has no lock: FrameRingBuffer uses it under its own.
#pragma once

#include <cstdint>
#include <memory>

enum RingBufferError {
    RING_BUFFER_ERROR_NONE = 0,
    RING_BUFFER_ERROR_ILLEGAL_INPUT = -1,
    RING_BUFFER_ERROR_FRAME_TOO_LARGE = -2,
    RING_BUFFER_ERROR_FULL = -3,
    RING_BUFFER_ERROR_NOT_ENOUGH_DATA = -4,
    RING_BUFFER_ERROR_READ_ERROR = -5,
    RING_BUFFER_ERROR_WAIT_KEY_FRAME = -6,
    RING_BUFFER_ERROR_DROP_NO_INNER_FRAME = -7,
    RING_BUFFER_ERROR_DO_NOT_DROP_FRAME = -8,
    RING_BUFFER_ERROR_DROP_HAPPEN = -9,
};

enum PackageDropStrategy {
    PACKAGE_DROP_OLD_GOP = 0,  // make room by dropping the oldest groups of pictures
    PACKAGE_DROP_NEW_FRAME = 1,  // refuse the new frame
};

class RingBuffer {
public:
    // Capacity: max_size rounded up to a power of two, within 1024 and 8 388 608 bytes.
    explicit RingBuffer(unsigned int max_size);
    virtual ~RingBuffer() = default;
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    unsigned int GetDataTotalSize() const { return data_size_; }
    // Unsigned arithmetic keeps these right when the indices wrap around 2^32.
    unsigned int GetDataUnused() const { return data_size_ - (in_index_ - out_index_); }
    unsigned int GetDataUsed() const { return in_index_ - out_index_; }
    void CleanAllData();
    // PACKAGE_DROP_OLD_GOP or PACKAGE_DROP_NEW_FRAME; other values are refused and logged.
    void SetPackageDropStrategy(int strategy);

    // 0, -1 (null or empty input) or -3 (not enough room; nothing is written).
    int dataCopyIn(const unsigned char* buf, unsigned int size);
    // 0, -1 (null or empty output) or -4 (fewer than size bytes held). With not_remove_after_copy the bytes
    // stay in the ring (peek).
    int dataCopyOut(unsigned int size, unsigned char* buf, bool not_remove_after_copy);

protected:
    uint32_t in_index_ = 0;   // bytes written since the last reset
    uint32_t out_index_ = 0;  // bytes consumed since the last reset
    uint32_t mask_;
    uint32_t data_size_;
    std::unique_ptr<unsigned char[]> data_;
    int package_drop_strategy_ = PACKAGE_DROP_OLD_GOP;
};
