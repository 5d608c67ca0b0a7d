#include "index_reader.h"

#include <gtest/gtest.h>

namespace {

const char kLine0[] = "media=0,offset=0,len=104,timestamp=0,key=1";
const char kLine1[] = "media=1,offset=104,len=20,timestamp=33,key=0";

struct IndexCase {
    const char* name;
    std::string text;
    IndexParseStatus status;
    size_t records;
};

class IndexTextTest : public testing::TestWithParam<IndexCase> {};

TEST_P(IndexTextTest, AcceptsOnlyExactRecords) {
    IndexParseResult result = ParseIndex(GetParam().text);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.index.size(), GetParam().records);
}

const std::string kTwo = std::string(kLine0) + "\n" + kLine1;

INSTANTIATE_TEST_SUITE_P(
    Lines, IndexTextTest,
    testing::Values(
        IndexCase{"OneRecord", kLine0, IndexParseStatus::kOk, 1},
        IndexCase{"TwoRecords", kTwo, IndexParseStatus::kOk, 2},
        IndexCase{"Empty", "", IndexParseStatus::kNoRecords, 0},
        IndexCase{"LineBreakAfterLast", kTwo + "\n", IndexParseStatus::kBadLine, 0},
        IndexCase{"EmptyLineInside", std::string(kLine0) + "\n\n" + kLine1, IndexParseStatus::kBadLine, 0},
        IndexCase{"CarriageReturn", std::string(kLine0) + "\r\n" + kLine1, IndexParseStatus::kBadLine, 0},
        IndexCase{"MissingField", "media=0,offset=0,len=104,timestamp=0", IndexParseStatus::kBadLine, 0},
        IndexCase{"ExtraText", std::string(kLine0) + ",x=1", IndexParseStatus::kBadLine, 0},
        IndexCase{"FieldsSwapped", "offset=0,media=0,len=104,timestamp=0,key=1", IndexParseStatus::kBadLine, 0},
        IndexCase{"NegativeNumber", "media=0,offset=-4,len=104,timestamp=0,key=1", IndexParseStatus::kBadLine, 0},
        IndexCase{"Blank", "media=0, offset=0,len=104,timestamp=0,key=1", IndexParseStatus::kBadLine, 0},
        IndexCase{"EmptyNumber", "media=0,offset=,len=104,timestamp=0,key=1", IndexParseStatus::kBadLine, 0},
        IndexCase{"Over32Bits", "media=0,offset=4294967296,len=104,timestamp=0,key=1", IndexParseStatus::kBadLine,
                  0},
        IndexCase{"LineOver127", "media=0,offset=" + std::string(100, '0') + ",len=104,timestamp=0,key=1",
                  IndexParseStatus::kBadLine, 0},
        IndexCase{"BadSecondLine", std::string(kLine0) + "\nmedia=1", IndexParseStatus::kBadLine, 0}),
    [](const testing::TestParamInfo<IndexCase>& info) { return std::string(info.param.name); });

TEST(IndexReaderTest, ReadsEveryField) {
    IndexParseResult result = ParseIndex(kTwo);
    ASSERT_EQ(result.index.size(), 2u);
    const IndexInfo& audio = result.index[1];
    EXPECT_EQ(audio.media_type, 1u);
    EXPECT_EQ(audio.offset, 104u);
    EXPECT_EQ(audio.len, 20u);
    EXPECT_EQ(audio.timestamp, 33u);
    EXPECT_EQ(audio.key_frame, 0u);
    EXPECT_EQ(result.index[0].key_frame, 1u);
}

TEST(IndexReaderTest, NamesTheBadLine) {
    EXPECT_EQ(ParseIndex(kTwo + "\nmedia=x").bad_line, 3u);
}

TEST(IndexReaderTest, KeyFrameIntervalIsTheLargestVideoGap) {
    std::vector<IndexInfo> index = {
        {0, 10, 0, 0, 1}, {1, 10, 10, 500, 1}, {0, 10, 20, 1000, 1}, {0, 10, 30, 1500, 0}, {0, 10, 40, 3000, 1},
    };
    EXPECT_EQ(KeyFrameIntervalMs(index), 2000u);  // the audio "key" flag does not count
    EXPECT_EQ(KeyFrameIntervalMs({{0, 10, 0, 0, 1}}), 0u);
}

}  // namespace
