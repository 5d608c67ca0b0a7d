// Media timestamps of one kind (audio or video), rebased to start at 1000 ms unless sent unchanged.
#pragma once

#include <cstdint>

struct RebasedTimestamp {
    bool send;           // false: the frame lies up to 65535 ms before the base and is refused
    uint32_t timestamp;  // what goes on the wire
};

class TimestampRebase {
public:
    // base 0 means the next frame sets it.
    void Reset(uint32_t base) {
        base_ = base;
        base_taken_ = base != 0;
    }
    uint32_t base() const { return base_; }

    // keep_unchanged: the caller's timestamp is sent as it is. Otherwise the first frame becomes the
    // base (even a frame at 0 ms), and frame - base + 1000 is sent in 32-bit arithmetic, so only a
    // frame up to 65535 ms early is refused and older ones wrap around.
    RebasedTimestamp Apply(bool keep_unchanged, uint32_t timestamp);

private:
    uint32_t base_ = 0;
    bool base_taken_ = false;
};
