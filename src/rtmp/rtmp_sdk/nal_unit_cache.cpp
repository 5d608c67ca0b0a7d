#include "rtmp/rtmp_sdk/nal_unit_cache.h"

#include <algorithm>
#include <cstring>

nal_unit_s::nal_unit_s(size_t total) : data_(std::max(total, kNalUnitCacheMinBytes)) {}

void nal_unit_s::Assign(const uint8_t* data, size_t len) {
    len_ = std::min(len, data_.size());
    if (len_ > 0) std::memcpy(data_.data(), data, len_);
}

void nal_unit_s::Grow(size_t total) {
    len_ = 0;
    if (total > data_.size()) data_.assign(total, 0);
}

bool nal_unit_s::Equals(const uint8_t* data, size_t len) const {
    return len == len_ && (len == 0 || std::memcmp(data, data_.data(), len) == 0);
}
