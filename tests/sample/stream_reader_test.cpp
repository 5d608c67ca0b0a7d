#include "stream_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct MemoryFile {
    explicit MemoryFile(std::string data) : bytes(std::move(data)) {
        file = fmemopen(bytes.data(), bytes.size(), "rb");
    }
    ~MemoryFile() {
        if (file != nullptr) std::fclose(file);
    }
    std::string bytes;
    std::FILE* file = nullptr;
};

const std::string kMarker = "\xFC\xFC\xFC\xFC";

struct RecordCase {
    const char* name;
    std::string stream;
    IndexInfo info;
    FrameReadStatus status;
};

class StreamRecordTest : public testing::TestWithParam<RecordCase> {};

TEST_P(StreamRecordTest, ChecksSizeAndMarker) {
    MemoryFile stream(GetParam().stream);
    ASSERT_NE(stream.file, nullptr);
    std::vector<unsigned char> buffer(kBufferMaxLen);
    EXPECT_EQ(ReadFrameRecord(stream.file, GetParam().info, buffer.data()), GetParam().status);
}

const std::string kTwoRecords = kMarker + "abc" + kMarker + "defg";

INSTANTIATE_TEST_SUITE_P(
    Records, StreamRecordTest,
    testing::Values(RecordCase{"First", kTwoRecords, {0, 7, 0, 0, 1}, FrameReadStatus::kOk},
                    RecordCase{"SecondByOffset", kTwoRecords, {1, 8, 7, 40, 0}, FrameReadStatus::kOk},
                    RecordCase{"WrongOffset", kTwoRecords, {1, 8, 6, 40, 0}, FrameReadStatus::kBadRecord},
                    RecordCase{"CutShort", kTwoRecords, {1, 9, 7, 40, 0}, FrameReadStatus::kBadRecord},
                    RecordCase{"MarkerOnly", kMarker, {0, 4, 0, 0, 0}, FrameReadStatus::kBadRecord},
                    RecordCase{"BadMarker", "\xFC\xFC\xFC\xFB" "abc", {0, 7, 0, 0, 0}, FrameReadStatus::kBadRecord},
                    RecordCase{"OffsetPastEnd", kTwoRecords, {0, 7, 1000, 0, 0}, FrameReadStatus::kBadRecord},
                    RecordCase{"LargestRecord", kMarker + std::string(kBufferMaxLen - 4, 'x'),
                               {0, kBufferMaxLen, 0, 0, 1}, FrameReadStatus::kOk},
                    RecordCase{"TooLarge", kMarker + std::string(kBufferMaxLen, 'x'),
                               {0, kBufferMaxLen + 1, 0, 0, 1}, FrameReadStatus::kTooLarge}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

TEST(StreamReaderTest, LeavesTheFrameAfterTheMarker) {
    MemoryFile stream(kTwoRecords);
    std::vector<unsigned char> buffer(kBufferMaxLen);
    ASSERT_EQ(ReadFrameRecord(stream.file, {1, 8, 7, 40, 0}, buffer.data()), FrameReadStatus::kOk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + kMediaFrameHeaderLen, 4), "defg");
}

}  // namespace
