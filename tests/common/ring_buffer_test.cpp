#include "common/ring_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "frame_pattern.h"
#include "log_capture.h"
#include "utils/logger.h"

namespace {

using testsupport::LogCapture;

constexpr uint32_t kElementOverhead = 12 + sizeof(MediaSpecialInfo);

struct OutFrame {
    int ret;
    uint32_t size = 0;
    MediaSpecialInfo info{};
    bool intact = false;
};

class RingBufferTest : public testing::Test {
protected:
    int Put(FrameRingBuffer& ring, uint64_t sequence, uint32_t size, bool key_frame) {
        std::vector<uint8_t> bytes = frame_pattern::Bytes(sequence, size);
        MediaSpecialInfo info = frame_pattern::Info(sequence, key_frame);
        return ring.DataOneFrameIn(bytes.data(), size, &info, sizeof(info));
    }

    // Puts a run of frames described by "K" (key) and "P" characters, numbered from first.
    void PutPattern(FrameRingBuffer& ring, const std::string& pattern, uint64_t first, uint32_t size) {
        for (size_t i = 0; i < pattern.size(); ++i) {
            ASSERT_EQ(Put(ring, first + i, size, pattern[i] == 'K'), RING_BUFFER_ERROR_NONE) << "frame " << i;
        }
    }

    OutFrame Take(FrameRingBuffer& ring) {
        unsigned char* buf = nullptr;
        unsigned int size = 0;
        MediaSpecialInfo* info = nullptr;
        unsigned int info_size = 0;
        OutFrame out{ring.DataOneFrameOut(&buf, &size, &info, &info_size)};
        if (out.ret == RING_BUFFER_ERROR_NONE) {
            EXPECT_EQ(info_size, sizeof(MediaSpecialInfo));
            out.size = size;
            out.info = *info;
            out.intact = frame_pattern::Intact(buf, size, *info);
        }
        return out;
    }

    std::vector<uint64_t> DrainSequences(FrameRingBuffer& ring) {
        std::vector<uint64_t> sequences;
        for (OutFrame f = Take(ring); f.ret == RING_BUFFER_ERROR_NONE; f = Take(ring)) {
            EXPECT_TRUE(f.intact) << f.info.packet_num;
            sequences.push_back(f.info.packet_num);
        }
        return sequences;
    }

    LogCapture log_;
};

TEST_F(RingBufferTest, CapacityIsAPowerOfTwoWithinBounds) {
    const struct {
        unsigned int requested;
        unsigned int capacity;
    } cases[] = {{0, 1024},       {1000, 1024},    {1024, 1024},       {1025, 2048},
                 {4096, 4096},    {262144, 262144}, {786432, 1048576}, {8388608, 8388608},
                 {20000000, 8388608}};
    for (const auto& c : cases) {
        log_.Clear();
        FrameRingBuffer ring(c.requested);
        EXPECT_EQ(ring.GetDataTotalSize(), c.capacity) << c.requested;
        EXPECT_TRUE(log_.Has("data_size_ = " + std::to_string(c.capacity), LEVEL_DEBUG)) << log_.Dump();
    }
}

TEST_F(RingBufferTest, RefusesIllegalAndOversizedInput) {
    FrameRingBuffer ring(1024);
    std::vector<uint8_t> big(FrameRingBuffer::kMaxFrameSize + 1);
    std::vector<uint8_t> special(FrameRingBuffer::kMaxSpecialSize + 1);
    MediaSpecialInfo info = frame_pattern::Info(0, true);
    const uint8_t frame[4] = {1, 2, 3, 4};
    const MediaSpecialInfo* long_special = reinterpret_cast<const MediaSpecialInfo*>(special.data());
    const struct {
        const char* name;
        const uint8_t* buf;
        unsigned int size;
        const MediaSpecialInfo* info;
        unsigned int info_size;
        int ret;
    } cases[] = {
        {"frame over 1 MiB", big.data(), static_cast<unsigned int>(big.size()), &info, sizeof(info),
         RING_BUFFER_ERROR_FRAME_TOO_LARGE},
        {"side record of 513", frame, 4, long_special, 513, RING_BUFFER_ERROR_FRAME_TOO_LARGE},
        {"empty frame", frame, 0, &info, sizeof(info), RING_BUFFER_ERROR_ILLEGAL_INPUT},
        {"empty side record", frame, 4, &info, 0, RING_BUFFER_ERROR_ILLEGAL_INPUT},
        {"side record shorter than one record", frame, 4, &info, 8, RING_BUFFER_ERROR_ILLEGAL_INPUT},
        {"null frame", nullptr, 4, &info, sizeof(info), RING_BUFFER_ERROR_ILLEGAL_INPUT},
        {"null side record", frame, 4, nullptr, sizeof(info), RING_BUFFER_ERROR_ILLEGAL_INPUT},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ring.DataOneFrameIn(c.buf, c.size, c.info, c.info_size), c.ret) << c.name;
    }
    EXPECT_EQ(Take(ring).ret, RING_BUFFER_ERROR_NOT_ENOUGH_DATA);

    log_.Clear();
    EXPECT_EQ(Put(ring, 1, 1024 - kElementOverhead + 1, true), RING_BUFFER_ERROR_FRAME_TOO_LARGE);
    EXPECT_TRUE(log_.Has("Data is too large, drop it", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_EQ(Put(ring, 2, 1024 - kElementOverhead, true), RING_BUFFER_ERROR_NONE);  // exactly the ring
}

TEST_F(RingBufferTest, FramesComeOutWholeAndInOrder) {
    FrameRingBuffer ring(4096);
    PutPattern(ring, "KPPPKPP", 0, 300);
    EXPECT_EQ(ring.GetLastVideoPosition().index, 6 * (300 + kElementOverhead));
    EXPECT_EQ(ring.GetLastVideoPosition().timestamp_ms, 6u * 40);
    for (uint64_t expected = 0; expected < 7; ++expected) {
        OutFrame f = Take(ring);
        ASSERT_EQ(f.ret, RING_BUFFER_ERROR_NONE);
        EXPECT_TRUE(f.intact);
        EXPECT_EQ(f.size, 300u);
        EXPECT_EQ(f.info.packet_num, expected);
        EXPECT_EQ(f.info.key_frame != 0, expected == 0 || expected == 4);
    }
}

TEST_F(RingBufferTest, EmptyReadLeavesOutputsUntouched) {
    FrameRingBuffer ring(1024);
    unsigned char sentinel = 0;
    unsigned char* buf = &sentinel;
    unsigned int size = 77;
    MediaSpecialInfo* info = nullptr;
    unsigned int info_size = 88;
    EXPECT_EQ(ring.DataOneFrameOut(&buf, &size, &info, &info_size), RING_BUFFER_ERROR_NOT_ENOUGH_DATA);
    EXPECT_EQ(buf, &sentinel);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(info_size, 88u);
}

// A 1024-byte ring holds seven elements of 136 bytes (100-byte frames) and 72 bytes to spare.
constexpr uint32_t kFrame = 100;

TEST_F(RingBufferTest, RefuseStrategyKeepsTheContentsWhenFull) {
    FrameRingBuffer ring(1024);
    ring.SetPackageDropStrategy(PACKAGE_DROP_NEW_FRAME);
    PutPattern(ring, "KPPKPPK", 0, kFrame);
    const unsigned int used = ring.GetUsePercent();
    EXPECT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_DO_NOT_DROP_FRAME);
    EXPECT_EQ(Put(ring, 8, kFrame, true), RING_BUFFER_ERROR_DO_NOT_DROP_FRAME);
    EXPECT_EQ(ring.GetUsePercent(), used);
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(RingBufferTest, IllegalStrategyIsRefused) {
    FrameRingBuffer ring(1024);
    ring.SetPackageDropStrategy(7);
    EXPECT_TRUE(log_.Has("Illegal drop strategy 7", LEVEL_ERROR));
    PutPattern(ring, "KPPKPPK", 0, kFrame);
    EXPECT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_DROP_HAPPEN);  // still dropping old groups
}

TEST_F(RingBufferTest, ReaderInsideAGroupLosesTheRestOfItFirst) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPKPPK", 0, kFrame);
    ASSERT_EQ(Take(ring).info.packet_num, 0u);  // the reader now stands inside the first group
    PutPattern(ring, "P", 7, kFrame);           // fills the room the read made
    log_.Clear();
    EXPECT_EQ(Put(ring, 8, kFrame, false), RING_BUFFER_ERROR_DROP_HAPPEN);
    EXPECT_TRUE(log_.Has("Drop part of GOP, remaining = 2", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{3, 4, 5, 6, 7, 8}));
}

TEST_F(RingBufferTest, WholeGroupsGoOldestFirstWhileTwoRemain) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPKPPK", 0, kFrame);
    EXPECT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_DROP_HAPPEN);
    EXPECT_TRUE(log_.Has("Drop full GOP, remaining = 2", LEVEL_DEBUG)) << log_.Dump();
    PutPattern(ring, "PP", 8, kFrame);
    log_.Clear();
    // The ring is full again with 3 (K) 4 5 6 (K) 7 8 9: the group 3 4 5 goes next.
    EXPECT_EQ(Put(ring, 10, kFrame, false), RING_BUFFER_ERROR_DROP_HAPPEN);
    EXPECT_TRUE(log_.Has("Drop full GOP, remaining = 1", LEVEL_DEBUG)) << log_.Dump();
    OutFrame first = Take(ring);
    EXPECT_EQ(first.info.packet_num, 6u);
    EXPECT_NE(first.info.key_frame, 0);
}

TEST_F(RingBufferTest, LosingTheOnlyGroupToAPFrameWaitsForAKeyFrame) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPPPPP", 0, kFrame);
    EXPECT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_WAIT_KEY_FRAME);
    EXPECT_TRUE(log_.Has("Drop full GOP, no useful data, wait for key frame = 0", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_EQ(ring.GetUsePercent(), 0u);
    for (uint64_t p = 8; p < 11; ++p) EXPECT_EQ(Put(ring, p, kFrame, false), RING_BUFFER_ERROR_DROP_NO_INNER_FRAME);
    EXPECT_EQ(log_.Count("Drop old non-inner frame"), 3);
    EXPECT_TRUE(log_.Has("Drop old non-inner frame", LEVEL_VERBOSE));
    EXPECT_EQ(Put(ring, 11, kFrame, true), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(Put(ring, 12, kFrame, false), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{11, 12}));
}

TEST_F(RingBufferTest, KeyFrameRefusedAsTooLargeDoesNotEndTheWait) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPPPPP", 0, kFrame);
    ASSERT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_WAIT_KEY_FRAME);
    EXPECT_EQ(Put(ring, 8, 1024, true), RING_BUFFER_ERROR_FRAME_TOO_LARGE);
    EXPECT_EQ(Put(ring, 9, kFrame, false), RING_BUFFER_ERROR_DROP_NO_INNER_FRAME);
    EXPECT_EQ(Put(ring, 10, kFrame, true), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{10}));
}

TEST_F(RingBufferTest, KeyFrameReplacesTheOnlyGroupAtOnce) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPPPPP", 0, kFrame);
    EXPECT_EQ(Put(ring, 7, kFrame, true), RING_BUFFER_ERROR_NONE);
    EXPECT_TRUE(log_.Has("Drop full GOP, no useful data, wait for key frame = 1", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{7}));
}

TEST_F(RingBufferTest, WithoutAnyKeyFrameTheBufferIsEmptied) {
    FrameRingBuffer ring(1024);
    ASSERT_EQ(Put(ring, 0, kFrame, true), RING_BUFFER_ERROR_NONE);
    ASSERT_EQ(Take(ring).info.packet_num, 0u);  // no key frame is listed any more
    PutPattern(ring, "PPPPPPP", 1, kFrame);
    EXPECT_EQ(Put(ring, 8, kFrame, false), RING_BUFFER_ERROR_WAIT_KEY_FRAME);
    EXPECT_TRUE(log_.Has("Drop part of GOP, no useful data, wait for key frame = 0", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_EQ(Take(ring).ret, RING_BUFFER_ERROR_NOT_ENOUGH_DATA);
}

TEST_F(RingBufferTest, CleanEmptiesButKeepsWaitingForAKeyFrame) {
    FrameRingBuffer ring(1024);
    PutPattern(ring, "KPPPPPP", 0, kFrame);
    ASSERT_EQ(Put(ring, 7, kFrame, false), RING_BUFFER_ERROR_WAIT_KEY_FRAME);
    ring.CleanAllFrameData();
    EXPECT_EQ(ring.GetLastVideoPosition().index, 0u);
    EXPECT_EQ(ring.GetLastVideoPosition().timestamp_ms, 0u);
    EXPECT_EQ(Put(ring, 8, kFrame, false), RING_BUFFER_ERROR_DROP_NO_INNER_FRAME);

    FrameRingBuffer other(1024);
    PutPattern(other, "PKP", 0, kFrame);
    other.CleanAllFrameData();
    EXPECT_EQ(Take(other).ret, RING_BUFFER_ERROR_NOT_ENOUGH_DATA);
    EXPECT_EQ(Put(other, 3, kFrame, false), RING_BUFFER_ERROR_NONE);
}

TEST_F(RingBufferTest, DropToOldIFrameRestartsAtTheOldestKeyFrame) {
    FrameRingBuffer ring(4096);
    PutPattern(ring, "PPKPKP", 0, kFrame);
    ring.DropToOldIFrame();
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{2, 3, 4, 5}));

    PutPattern(ring, "PP", 6, kFrame);
    ring.DropToOldIFrame();  // no key frame buffered: everything goes
    EXPECT_EQ(Take(ring).ret, RING_BUFFER_ERROR_NOT_ENOUGH_DATA);
}

TEST_F(RingBufferTest, UsePercentRoundsBothDivisionsDown) {
    FrameRingBuffer ring(1024);
    EXPECT_EQ(ring.GetUsePercent(), 0u);
    ASSERT_EQ(Put(ring, 0, 512 - kElementOverhead, true), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(ring.GetUsePercent(), 51u);  // 512 / (1024 / 100)
}

TEST_F(RingBufferTest, LargeFramesGrowTheReadBuffer) {
    FrameRingBuffer ring(8388608);
    const uint32_t sizes[] = {32768, 32769, 60000, 150000, 400000, FrameRingBuffer::kMaxFrameSize, 1000};
    for (uint32_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
        ASSERT_EQ(Put(ring, i, sizes[i], i == 0), RING_BUFFER_ERROR_NONE);
        OutFrame f = Take(ring);
        ASSERT_EQ(f.ret, RING_BUFFER_ERROR_NONE);
        EXPECT_EQ(f.size, sizes[i]);
        EXPECT_TRUE(f.intact) << sizes[i];
    }
}

TEST_F(RingBufferTest, LongerSideRecordIsCutToOneRecord) {
    FrameRingBuffer ring(4096);
    struct Extended {
        MediaSpecialInfo info;
        char extra[100];
    } extended{};
    extended.info = frame_pattern::Info(0, true);
    memset(extended.extra, 'x', sizeof(extended.extra));
    std::vector<uint8_t> bytes = frame_pattern::Bytes(0, 50);
    ASSERT_EQ(ring.DataOneFrameIn(bytes.data(), 50, &extended.info, sizeof(extended)), RING_BUFFER_ERROR_NONE);
    ASSERT_EQ(Put(ring, 1, 60, false), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(DrainSequences(ring), (std::vector<uint64_t>{0, 1}));  // Take checks the reported record size
}

// Reaches the byte layer underneath, to start the indices near 2^32 and to damage an element.
class ExposedFrameRingBuffer : public FrameRingBuffer {
public:
    using FrameRingBuffer::FrameRingBuffer;
    void StartIndicesAt(uint32_t index) {
        in_index_ = index;
        out_index_ = index;
    }
    void DamageByteAt(uint32_t offset) { data_[offset] ^= 0xFF; }
};

TEST_F(RingBufferTest, IndicesMayWrapAround) {
    ExposedFrameRingBuffer ring(1024);
    ring.StartIndicesAt(0xFFFFFFFFu - 300);
    uint64_t next_in = 0;
    uint64_t next_out = 0;
    for (int round = 0; round < 40; ++round) {
        PutPattern(ring, round % 3 == 0 ? "KP" : "PP", next_in, 150);
        next_in += 2;
        while (next_out < next_in) {
            OutFrame f = Take(ring);
            ASSERT_EQ(f.ret, RING_BUFFER_ERROR_NONE) << round;
            EXPECT_TRUE(f.intact);
            EXPECT_EQ(f.info.packet_num, next_out++);
        }
    }
}

TEST_F(RingBufferTest, DamagedElementIsReportedAsCorrupted) {
    ExposedFrameRingBuffer ring(1024);
    PutPattern(ring, "KP", 0, kFrame);
    ring.DamageByteAt(0);  // the magic of the first element
    EXPECT_EQ(Take(ring).ret, RING_BUFFER_ERROR_READ_ERROR);
    EXPECT_TRUE(log_.Has("Should not happen, data was corrupted", LEVEL_ERROR)) << log_.Dump();
}

TEST_F(RingBufferTest, DamagedLengthIsNotTrusted) {
    ExposedFrameRingBuffer ring(1024);
    PutPattern(ring, "K", 0, kFrame);
    ring.DamageByteAt(7);  // the top byte of the frame length
    EXPECT_EQ(Take(ring).ret, RING_BUFFER_ERROR_READ_ERROR);
    EXPECT_TRUE(log_.Has("Should not happen, data was corrupted", LEVEL_ERROR)) << log_.Dump();
}

TEST_F(RingBufferTest, ByteLayerReportsRoomAndData) {
    RingBuffer bytes(1024);
    const unsigned char in[600] = {1};
    unsigned char out[600];
    EXPECT_EQ(bytes.dataCopyIn(nullptr, 4), RING_BUFFER_ERROR_ILLEGAL_INPUT);
    EXPECT_EQ(bytes.dataCopyIn(in, 0), RING_BUFFER_ERROR_ILLEGAL_INPUT);
    EXPECT_EQ(bytes.dataCopyIn(in, 600), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(bytes.dataCopyIn(in, 600), RING_BUFFER_ERROR_FULL);
    EXPECT_TRUE(log_.Has("no enough buffer, remain 424, required 600", LEVEL_ERROR)) << log_.Dump();
    EXPECT_EQ(bytes.dataCopyOut(600, out, true), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(bytes.GetDataUsed(), 600u);
    EXPECT_EQ(bytes.dataCopyOut(600, out, false), RING_BUFFER_ERROR_NONE);
    EXPECT_EQ(bytes.GetDataUnused(), 1024u);
    EXPECT_EQ(bytes.dataCopyOut(1, out, false), RING_BUFFER_ERROR_NOT_ENOUGH_DATA);
    EXPECT_TRUE(log_.Has("not enough data for read", LEVEL_ERROR));
    EXPECT_EQ(bytes.dataCopyOut(0, out, false), RING_BUFFER_ERROR_ILLEGAL_INPUT);
    EXPECT_TRUE(log_.Has("invalid param", LEVEL_ERROR));
}

// Two producers (video with groups of pictures, audio) and one consumer, with drops on the way: every frame
// that comes out is intact, each producer's frames keep their order, and after a gap in the video the
// first video frame is a key frame.
TEST(RingBufferConcurrencyTest, ProducersAndConsumerNeverSeeDamagedFrames) {
    testsupport::LogCapture log;
    FrameRingBuffer ring(65536);
    constexpr uint64_t kVideoFrames = 3000;
    constexpr uint64_t kAudioBase = 1ull << 40;
    std::atomic<bool> producing{true};
    std::atomic<int> producers_left{2};

    auto produce = [&](bool video) {
        const uint64_t base = video ? 0 : kAudioBase;
        for (uint64_t i = 0; i < kVideoFrames; ++i) {
            const uint64_t sequence = base + i;
            const uint32_t size = video ? 200 + static_cast<uint32_t>(i % 7) * 300 : 160;
            std::vector<uint8_t> bytes = frame_pattern::Bytes(sequence, size);
            MediaSpecialInfo info = frame_pattern::Info(
                sequence, video && i % 10 == 0, video ? MEDIA_SPECIAL_TYPE_VIDEO : MEDIA_SPECIAL_TYPE_AUDIO);
            ring.DataOneFrameIn(bytes.data(), size, &info, sizeof(info));
        }
        if (--producers_left == 0) producing = false;
    };
    std::thread video(produce, true);
    std::thread audio(produce, false);

    uint64_t last_video = 0;
    uint64_t last_audio = kAudioBase;
    bool seen_video = false;
    bool seen_audio = false;
    int bad = 0;
    auto consume_one = [&]() {
        unsigned char* buf;
        unsigned int size;
        MediaSpecialInfo* info;
        unsigned int info_size;
        if (ring.DataOneFrameOut(&buf, &size, &info, &info_size) != RING_BUFFER_ERROR_NONE) return false;
        if (!frame_pattern::Intact(buf, size, *info)) ++bad;
        if (info->type == MEDIA_SPECIAL_TYPE_VIDEO) {
            const bool gap = seen_video ? info->packet_num != last_video + 1 : info->packet_num != 0;
            if (seen_video && info->packet_num <= last_video) ++bad;
            if (gap && info->key_frame == 0) ++bad;
            last_video = info->packet_num;
            seen_video = true;
        } else {
            if (seen_audio && info->packet_num <= last_audio) ++bad;
            last_audio = info->packet_num;
            seen_audio = true;
        }
        return true;
    };
    while (producing) {
        if (!consume_one()) std::this_thread::yield();
    }
    while (consume_one()) {
    }
    video.join();
    audio.join();
    EXPECT_EQ(bad, 0);
    EXPECT_TRUE(seen_video);
}

}  // namespace
