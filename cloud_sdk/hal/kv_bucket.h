// Layout of the key-value file: 384 buckets of two 644-byte slots (key 128, value 512, length 4, little-endian).
// Pure functions over one bucket's bytes; the file access lives in hal_kv.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessera {

constexpr size_t kKvBucketCount = 384;
constexpr size_t kKvSlotsPerBucket = 2;
constexpr size_t kKvKeyField = 128;
constexpr size_t kKvValueField = 512;
constexpr size_t kKvSlotSize = kKvKeyField + kKvValueField + 4;
constexpr size_t kKvBucketSize = kKvSlotsPerBucket * kKvSlotSize;
constexpr size_t kKvFileSize = kKvBucketCount * kKvBucketSize;
constexpr size_t kKvKeyMax = kKvKeyField - 1;

// h = h * 33 + c over the key's signed characters, in 32 bits, taken unsigned modulo the bucket count.
size_t KvBucketIndex(const std::string& key);

// Views one bucket's bytes (kKvBucketSize of them).
class KvBucket {
public:
    explicit KvBucket(uint8_t* bytes) : bytes_(bytes) {}

    // The slot holding key, or -1. Empty slots (length 0 or, in a damaged file, negative) never match.
    int Find(const std::string& key) const;
    int FirstEmpty() const;
    // Stored value length, at most kKvValueField even when the file says more.
    size_t ValueLength(int slot) const;
    // Copies min(stored length, capacity) bytes; returns the count.
    size_t CopyValue(int slot, void* out, size_t capacity) const;
    // Writes key (at most kKvKeyMax characters) and min(length, kKvValueField) value bytes.
    void Store(int slot, const std::string& key, const void* value, size_t length);
    void Clear(int slot);

private:
    uint8_t* Slot(int slot) const { return bytes_ + static_cast<size_t>(slot) * kKvSlotSize; }
    int32_t RawLength(int slot) const;
    uint8_t* bytes_;
};

}  // namespace tessera
