// A bucket read from a damaged key-value file, looked up and rewritten.
#include <cstring>
#include <string>

#include "hal/kv_bucket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t bytes[tessera::kKvBucketSize] = {};
    memcpy(bytes, data, size < sizeof(bytes) ? size : sizeof(bytes));
    std::string key = size > sizeof(bytes) ? std::string(reinterpret_cast<const char*>(data) + sizeof(bytes),
                                                         size - sizeof(bytes))
                                           : std::string("key");
    tessera::KvBucketIndex(key);
    tessera::KvBucket bucket(bytes);
    int slot = bucket.Find(key);
    if (slot >= 0) {
        uint8_t value[tessera::kKvValueField];
        bucket.CopyValue(slot, value, sizeof(value));
        bucket.Clear(slot);
    }
    slot = bucket.FirstEmpty();
    if (slot >= 0) bucket.Store(slot, key, data, size);
    return 0;
}
