#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "cloud_log_capture.h"
#include "hal/kv_bucket.h"
#include "net.h"
#include "tessera_hal.h"

using testsupport::CloudLogCapture;
using testsupport::TempDir;

namespace {

class HalKvTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(HAL_Kv_SetPath(path_.c_str()), 0); }

    // The first keys found, in ascending order of a counter, that share one bucket.
    static std::vector<std::string> KeysInOneBucket(size_t count) {
        std::vector<std::vector<std::string>> buckets(tessera::kKvBucketCount);
        for (int i = 0;; ++i) {
            std::string key = "key" + std::to_string(i);
            auto& same = buckets[tessera::KvBucketIndex(key)];
            same.push_back(key);
            if (same.size() == count) return same;
        }
    }

    int Get(const std::string& key, std::string* value, int capacity = 1000) {
        std::vector<char> buffer(static_cast<size_t>(capacity));
        int len = capacity;
        int ret = HAL_Kv_Get(key.c_str(), buffer.data(), &len);
        if (ret == 0) value->assign(buffer.data(), static_cast<size_t>(len));
        return ret;
    }

    TempDir dir_;
    std::string path_ = dir_.File("tessera_kv.bin");
};

TEST_F(HalKvTest, MissingFileIsCreatedWithAllBuckets) {
    std::string value;
    EXPECT_EQ(Get("absent", &value), -1);
    struct stat info;
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 494592);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// "A" hashes to 65: the slot sits at 65 * 1288, key first, then the value, then the length (little-endian).
TEST_F(HalKvTest, EntryLandsAtItsExactPlaceInTheFile) {
    ASSERT_EQ(HAL_Kv_Set("A", "xyz", 3), 0);
    std::string file = testsupport::ReadFile(path_);
    ASSERT_EQ(file.size(), 494592u);
    const size_t slot = 65 * 1288;
    EXPECT_EQ(file.substr(slot, 2), std::string("A\0", 2));
    EXPECT_EQ(file.substr(slot + 128, 4), std::string("xyz\0", 4));
    EXPECT_EQ(file.substr(slot + 640, 4), std::string("\3\0\0\0", 4));
}

TEST_F(HalKvTest, ValueSurvivesReopeningTheFile) {
    ASSERT_EQ(HAL_Kv_Set("DyncRegDeviceSecret", "s3cr3t", 6), 0);
    TempDir other;
    ASSERT_EQ(HAL_Kv_SetPath(other.File("kv").c_str()), 0);
    std::string value;
    EXPECT_EQ(Get("DyncRegDeviceSecret", &value), -1);
    ASSERT_EQ(HAL_Kv_SetPath(path_.c_str()), 0);
    ASSERT_EQ(Get("DyncRegDeviceSecret", &value), 0);
    EXPECT_EQ(value, "s3cr3t");
}

TEST_F(HalKvTest, LongValueIsStoredAs512Bytes) {
    std::string big(600, 'v');
    big[511] = 'E';
    ASSERT_EQ(HAL_Kv_Set("big", big.data(), 600), 0);
    std::string value;
    ASSERT_EQ(Get("big", &value, 1000), 0);
    EXPECT_EQ(value, big.substr(0, 512));
}

TEST_F(HalKvTest, SmallBufferGetsThePrefix) {
    ASSERT_EQ(HAL_Kv_Set("k", "abcdef", 6), 0);
    std::string value;
    ASSERT_EQ(Get("k", &value, 4), 0);
    EXPECT_EQ(value, "abcd");
}

TEST_F(HalKvTest, OverwriteReplacesTheWholeValue) {
    ASSERT_EQ(HAL_Kv_Set("k", "long value", 10), 0);
    ASSERT_EQ(HAL_Kv_Set("k", "ab", 2), 0);
    std::string value;
    ASSERT_EQ(Get("k", &value), 0);
    EXPECT_EQ(value, "ab");
}

TEST_F(HalKvTest, ThirdKeyOfABucketIsRefused) {
    CloudLogCapture capture;
    std::vector<std::string> keys = KeysInOneBucket(3);
    ASSERT_EQ(HAL_Kv_Set(keys[0].c_str(), "0", 1), 0);
    ASSERT_EQ(HAL_Kv_Set(keys[1].c_str(), "1", 1), 0);
    EXPECT_EQ(HAL_Kv_Set(keys[2].c_str(), "2", 1), -1);
    EXPECT_TRUE(capture.Has("hash row full"));
}

TEST_F(HalKvTest, DeletingSlotZeroKeepsSlotOneReadable) {
    std::vector<std::string> keys = KeysInOneBucket(2);
    ASSERT_EQ(HAL_Kv_Set(keys[0].c_str(), "first", 5), 0);
    ASSERT_EQ(HAL_Kv_Set(keys[1].c_str(), "second", 6), 0);
    ASSERT_EQ(HAL_Kv_Del(keys[0].c_str()), 0);
    std::string value;
    EXPECT_EQ(Get(keys[0], &value), -1);
    ASSERT_EQ(Get(keys[1], &value), 0);
    EXPECT_EQ(value, "second");
    // The freed slot takes a new key again.
    ASSERT_EQ(HAL_Kv_Set(keys[0].c_str(), "again", 5), 0);
}

TEST_F(HalKvTest, BadArgumentsAreRefused) {
    CloudLogCapture capture;
    int len = 4;
    char buffer[4];
    std::string too_long(128, 'k');
    EXPECT_EQ(HAL_Kv_Set("", "v", 1), -1);
    EXPECT_EQ(HAL_Kv_Set("k", nullptr, 1), -1);
    EXPECT_EQ(HAL_Kv_Set("k", "v", 0), -1);
    // A key longer than the 127 stored characters could never be found again.
    EXPECT_EQ(HAL_Kv_Set(too_long.c_str(), "v", 1), -1);
    len = 0;
    EXPECT_EQ(HAL_Kv_Get("k", buffer, &len), -1);
    EXPECT_EQ(HAL_Kv_Del(nullptr), -1);
    EXPECT_EQ(capture.Count("paras err"), 6);
}

TEST_F(HalKvTest, KeyOf127CharactersRoundTrips) {
    std::string key(127, 'k');
    ASSERT_EQ(HAL_Kv_Set(key.c_str(), "v", 1), 0);
    std::string value;
    EXPECT_EQ(Get(key, &value), 0);
}

// Four threads write 25 keys each, every key in a bucket of its own: all 100 must be there afterwards.
TEST_F(HalKvTest, ConcurrentWritersAllLand) {
    std::vector<std::string> keys;
    std::vector<bool> used(tessera::kKvBucketCount);
    for (int i = 0; keys.size() < 100; ++i) {
        std::string key = "concurrent" + std::to_string(i);
        size_t bucket = tessera::KvBucketIndex(key);
        if (used[bucket]) continue;
        used[bucket] = true;
        keys.push_back(key);
    }
    std::vector<std::thread> writers;
    for (size_t t = 0; t < 4; ++t) {
        writers.emplace_back([&keys, t] {
            for (size_t i = t; i < keys.size(); i += 4) {
                EXPECT_EQ(HAL_Kv_Set(keys[i].c_str(), keys[i].data(), static_cast<int>(keys[i].size())), 0);
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (const std::string& key : keys) {
        std::string value;
        ASSERT_EQ(Get(key, &value), 0) << key;
        EXPECT_EQ(value, key);
    }
}

TEST_F(HalKvTest, UnopenableFileFails) {
    CloudLogCapture capture;
    ASSERT_EQ(HAL_Kv_SetPath(dir_.File("no/such/dir/kv").c_str()), 0);
    EXPECT_EQ(HAL_Kv_Set("k", "v", 1), -1);
    EXPECT_TRUE(capture.Has("open err"));
    EXPECT_TRUE(capture.Has("kv_open failed"));
}

}  // namespace
