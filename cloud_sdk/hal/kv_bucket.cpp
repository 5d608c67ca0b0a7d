#include "hal/kv_bucket.h"

#include <algorithm>
#include <cstring>

namespace tessera {
namespace {

constexpr size_t kLengthOffset = kKvKeyField + kKvValueField;

}  // namespace

size_t KvBucketIndex(const std::string& key) {
    uint32_t hash = 0;
    for (char c : key) hash = hash * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return hash % kKvBucketCount;
}

int32_t KvBucket::RawLength(int slot) const {
    const uint8_t* field = Slot(slot) + kLengthOffset;
    uint32_t value = static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
                     static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
    return static_cast<int32_t>(value);
}

int KvBucket::Find(const std::string& key) const {
    for (int slot = 0; slot < static_cast<int>(kKvSlotsPerBucket); ++slot) {
        if (RawLength(slot) <= 0) continue;
        const char* stored = reinterpret_cast<const char*>(Slot(slot));
        size_t stored_length = strnlen(stored, kKvKeyField);
        if (stored_length == key.size() && memcmp(stored, key.data(), stored_length) == 0) return slot;
    }
    return -1;
}

int KvBucket::FirstEmpty() const {
    for (int slot = 0; slot < static_cast<int>(kKvSlotsPerBucket); ++slot) {
        if (RawLength(slot) <= 0) return slot;
    }
    return -1;
}

size_t KvBucket::ValueLength(int slot) const {
    int32_t length = RawLength(slot);
    return length <= 0 ? 0 : std::min(static_cast<size_t>(length), kKvValueField);
}

size_t KvBucket::CopyValue(int slot, void* out, size_t capacity) const {
    size_t count = std::min(ValueLength(slot), capacity);
    memcpy(out, Slot(slot) + kKvKeyField, count);
    return count;
}

void KvBucket::Store(int slot, const std::string& key, const void* value, size_t length) {
    uint8_t* bytes = Slot(slot);
    memset(bytes, 0, kKvSlotSize);
    memcpy(bytes, key.data(), std::min(key.size(), kKvKeyMax));
    size_t stored = std::min(length, kKvValueField);
    memcpy(bytes + kKvKeyField, value, stored);
    for (int i = 0; i < 4; ++i) bytes[kLengthOffset + i] = static_cast<uint8_t>(stored >> (8 * i));
}

void KvBucket::Clear(int slot) { memset(Slot(slot), 0, kKvSlotSize); }

}  // namespace tessera
