// The file-backed key-value store: one bucket is read, changed and written back (then fsync'ed) per call.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "hal/kv_bucket.h"
#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "kv";
constexpr const char kDefaultPath[] = "tessera_kv.bin";

class KvFile {
public:
    ~KvFile() { Close(); }

    void SetPath(const std::string& path) {
        Close();
        path_ = path;
    }

    // Opens the file on first use; a missing or short file is filled with zero buckets (never shrunk).
    bool Open() {
        if (fd_ >= 0) return true;
        int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            SDK_ERR(kModule, "open err");
            return false;
        }
        struct stat info;
        if (fstat(fd, &info) != 0) {
            SDK_ERR(kModule, "fstat err");
            close(fd);
            return false;
        }
        if (static_cast<size_t>(info.st_size) < kKvFileSize && !Extend(fd, static_cast<size_t>(info.st_size))) {
            close(fd);
            return false;
        }
        fd_ = fd;
        return true;
    }

    bool ReadBucket(size_t index, uint8_t* bucket) {
        off_t offset = static_cast<off_t>(index * kKvBucketSize);
        struct stat info;
        if (fstat(fd_, &info) != 0) {
            SDK_ERR(kModule, "fstat err");
            return false;
        }
        if (static_cast<size_t>(info.st_size) < offset + kKvBucketSize) {
            SDK_ERR(kModule, "read overstep");
            return false;
        }
        if (pread(fd_, bucket, kKvBucketSize, offset) != static_cast<ssize_t>(kKvBucketSize)) {
            SDK_ERR(kModule, "read err");
            return false;
        }
        return true;
    }

    bool WriteBucket(size_t index, const uint8_t* bucket) {
        off_t offset = static_cast<off_t>(index * kKvBucketSize);
        if (pwrite(fd_, bucket, kKvBucketSize, offset) != static_cast<ssize_t>(kKvBucketSize) || fsync(fd_) != 0) {
            SDK_ERR(kModule, "kv write failed");
            return false;
        }
        return true;
    }

private:
    static bool Extend(int fd, size_t size) {
        if (lseek(fd, static_cast<off_t>(size), SEEK_SET) < 0) {
            SDK_ERR(kModule, "lseek err");
            return false;
        }
        static const uint8_t zeros[kKvBucketSize] = {};
        while (size < kKvFileSize) {
            size_t chunk = std::min(kKvBucketSize, kKvFileSize - size);
            if (write(fd, zeros, chunk) != static_cast<ssize_t>(chunk)) {
                SDK_ERR(kModule, "kv write failed");
                return false;
            }
            size += chunk;
        }
        return fsync(fd) == 0;
    }

    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    std::string path_ = kDefaultPath;
    int fd_ = -1;
};

struct KvStore {
    std::mutex mutex;
    KvFile file;
};

KvStore& Store() {
    static KvStore store;
    return store;
}

bool ValidKey(const char* key) { return key != nullptr && key[0] != '\0' && strnlen(key, kKvKeyMax + 1) <= kKvKeyMax; }

// Opens the file and reads the key's bucket; the caller holds the store's mutex.
bool LoadBucket(KvFile& file, size_t index, uint8_t* bucket) {
    if (!file.Open()) {
        SDK_ERR(kModule, "kv_open failed");
        return false;
    }
    if (!file.ReadBucket(index, bucket)) {
        SDK_ERR(kModule, "read kv err");
        return false;
    }
    return true;
}

int Set(const std::string& key, const void* value, int len) {
    KvStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    size_t index = KvBucketIndex(key);
    uint8_t bytes[kKvBucketSize];
    if (!LoadBucket(store.file, index, bytes)) return -1;
    KvBucket bucket(bytes);
    int slot = bucket.Find(key);
    if (slot < 0) slot = bucket.FirstEmpty();
    if (slot < 0) {
        SDK_ERR(kModule, "hash row full");
        return -1;
    }
    bucket.Store(slot, key, value, static_cast<size_t>(len));
    if (!store.file.WriteBucket(index, bytes)) {
        SDK_ERR(kModule, "write_kv_item err");
        return -1;
    }
    return 0;
}

int Get(const std::string& key, void* buffer, int* len) {
    KvStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    uint8_t bytes[kKvBucketSize];
    if (!LoadBucket(store.file, KvBucketIndex(key), bytes)) return -1;
    KvBucket bucket(bytes);
    int slot = bucket.Find(key);
    if (slot < 0) {
        SDK_INFO(kModule, "not found");
        return -1;
    }
    *len = static_cast<int>(bucket.CopyValue(slot, buffer, static_cast<size_t>(*len)));
    return 0;
}

int Del(const std::string& key) {
    KvStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    size_t index = KvBucketIndex(key);
    uint8_t bytes[kKvBucketSize];
    if (!LoadBucket(store.file, index, bytes)) return -1;
    KvBucket bucket(bytes);
    for (int slot; (slot = bucket.Find(key)) >= 0;) bucket.Clear(slot);
    return store.file.WriteBucket(index, bytes) ? 0 : -1;
}

}  // namespace
}  // namespace tessera

extern "C" int HAL_Kv_SetPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return -1;
    tessera::KvStore& store = tessera::Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.file.SetPath(path);
    return 0;
}

extern "C" int HAL_Kv_Set(const char* key, const void* value, int len) {
    if (!tessera::ValidKey(key) || value == nullptr || len <= 0) {
        SDK_ERR(tessera::kModule, "paras err");
        return -1;
    }
    return tessera::Set(key, value, len);
}

extern "C" int HAL_Kv_Get(const char* key, void* buffer, int* len) {
    if (!tessera::ValidKey(key) || buffer == nullptr || len == nullptr || *len <= 0) {
        SDK_ERR(tessera::kModule, "paras err");
        return -1;
    }
    return tessera::Get(key, buffer, len);
}

extern "C" int HAL_Kv_Del(const char* key) {
    if (!tessera::ValidKey(key)) {
        SDK_ERR(tessera::kModule, "paras err");
        return -1;
    }
    return tessera::Del(key);
}
