// Cached copy of one NAL unit (a parameter set or a private SEI) to detect changes and to resend it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kNalUnitCacheMinBytes = 1024;

class nal_unit_s {
public:
    // Capacity is at least kNalUnitCacheMinBytes.
    explicit nal_unit_s(size_t total = kNalUnitCacheMinBytes);

    // Copies at most total() bytes.
    void Assign(const uint8_t* data, size_t len);
    // Makes room for total bytes; the contents are discarded.
    void Grow(size_t total);
    void Clear() { len_ = 0; }
    bool Equals(const uint8_t* data, size_t len) const;

    const uint8_t* data() const { return data_.data(); }
    size_t len() const { return len_; }
    size_t total() const { return data_.size(); }
    bool empty() const { return len_ == 0; }

private:
    std::vector<uint8_t> data_;
    size_t len_ = 0;
};
