// The hvcC writer against x265 streams: fields as ffprobe reports them, the fixed fields as ffmpeg's
// own MP4 muxer writes them, the parameter sets byte for byte, and the unit-boundary rules.
#include "rtmp/rtmp_sdk/hevc_config_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "hvcc_parser.h"
#include "media_reader.h"
#include "net.h"
#include "process.h"

namespace facadetest {
namespace {

struct Source {
    std::vector<uint8_t> stream;
    std::vector<AccessUnit> units;
    std::vector<uint8_t> mp4_hvcc;  // payload of the hvcC box ffmpeg writes for the same stream
    std::string probe;              // ffprobe's profile,level,pix_fmt
};

std::vector<uint8_t> FindBoxPayload(const std::vector<uint8_t>& file, const char* type) {
    for (size_t i = 4; i + 4 <= file.size(); ++i) {
        if (std::memcmp(&file[i], type, 4) != 0) continue;
        size_t size = size_t{file[i - 4]} << 24 | size_t{file[i - 3]} << 16 | size_t{file[i - 2]} << 8 | file[i - 1];
        if (size >= 8 && i - 4 + size <= file.size()) return {file.begin() + i + 4, file.begin() + i - 4 + size};
    }
    return {};
}

const Source& SourceFor(const std::string& pix_fmt) {
    static std::map<std::string, Source> sources;
    static testsupport::TempDir dir;
    auto found = sources.find(pix_fmt);
    if (found != sources.end()) return found->second;
    Source& source = sources[pix_fmt];
    std::string hevc = dir.File(pix_fmt + ".hevc");
    std::string mp4 = dir.File(pix_fmt + ".mp4");
    EXPECT_TRUE(MakeH265(hevc, 1, 10, pix_fmt));
    source.stream = ReadBytes(hevc);
    source.units = ReadAccessUnits(VideoCodec::kH265, source.stream);
    EXPECT_EQ(testsupport::RunCommand("ffmpeg -nostdin -v error -y -i '" + hevc + "' -c copy '" + mp4 + "'"), 0);
    source.mp4_hvcc = FindBoxPayload(ReadBytes(mp4), "hvcC");
    source.probe = testsupport::CaptureCommand(
        "ffprobe -v error -show_entries stream=profile,level,pix_fmt -of csv=p=0 '" + hevc + "'");
    return source;
}

ParsedHvcc WriteAndParse(const std::vector<uint8_t>& frame, int* result) {
    std::vector<uint8_t> out(frame.size() + 1024);
    ov_io_stream cursor{out.data(), 0, out.size()};
    *result = ov_ff_isom_write_hvcc(&cursor, frame.data(), static_cast<int>(frame.size()), 0);
    std::optional<ParsedHvcc> parsed = ParseHvcc(out.data(), cursor.index);
    return parsed.value_or(ParsedHvcc{});
}

struct FormatCase {
    const char* pix_fmt;
    const char* probe;  // ffprobe profile, pix_fmt, level
    int profile_idc;
    int chroma_format;
    int bit_depth_minus8;
};

class HvccFromEncoder : public testing::TestWithParam<FormatCase> {};

TEST_P(HvccFromEncoder, FieldsMatchTheStream) {
    const FormatCase& c = GetParam();
    const Source& source = SourceFor(c.pix_fmt);
    ASSERT_FALSE(source.units.empty());
    ASSERT_TRUE(source.units[0].key_frame);
    EXPECT_EQ(source.probe, c.probe);

    int result = -100;
    ParsedHvcc record = WriteAndParse(source.units[0].bytes, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(record.version, 1);
    EXPECT_EQ(record.profile_idc, c.profile_idc);
    EXPECT_EQ(record.level_idc, 30);  // ffprobe's level is general_level_idc
    EXPECT_EQ(record.chroma_format, c.chroma_format);
    EXPECT_EQ(record.bit_depth_luma_minus8, c.bit_depth_minus8);
    EXPECT_EQ(record.bit_depth_chroma_minus8, c.bit_depth_minus8);
    EXPECT_EQ(record.length_size_minus_one, 3);

    // Exactly one VPS, SPS and PPS, each the stream's own unit byte for byte.
    ASSERT_EQ(record.arrays.size(), 3u);
    const int types[] = {HEVC_NAL_VPS, HEVC_NAL_SPS, HEVC_NAL_PPS};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(record.arrays[i].type, types[i]);
        EXPECT_EQ(record.arrays[i].completeness, 0);
        ASSERT_EQ(record.arrays[i].units.size(), 1u);
        std::vector<uint8_t> expected = FirstNalUnit(VideoCodec::kH265, source.stream, types[i]);
        std::vector<uint8_t> unit = record.arrays[i].units[0];
        while (!unit.empty() && unit.back() == 0) unit.pop_back();  // a 4-byte start code's leading zero
        EXPECT_EQ(unit, expected) << "array " << i;
    }
}

TEST_P(HvccFromEncoder, FixedFieldsEqualThoseOfAnMp4Muxer) {
    const Source& source = SourceFor(GetParam().pix_fmt);
    ASSERT_GE(source.mp4_hvcc.size(), 23u);
    std::vector<uint8_t> out(source.units[0].bytes.size() + 1024);
    ov_io_stream cursor{out.data(), 0, out.size()};
    ASSERT_EQ(
        ov_ff_isom_write_hvcc(&cursor, source.units[0].bytes.data(), static_cast<int>(source.units[0].bytes.size()), 0),
        0);
    // Everything before numOfArrays: profile, tier, level, flags, segmentation, parallelism, formats,
    // frame rate fields, temporal layers, length size.
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 22),
              std::vector<uint8_t>(source.mp4_hvcc.begin(), source.mp4_hvcc.begin() + 22));
}

INSTANTIATE_TEST_SUITE_P(PixelFormats, HvccFromEncoder,
                         testing::Values(FormatCase{"yuv420p", "Main,yuv420p,30\n", 1, 1, 0},
                                         FormatCase{"yuv420p10le", "Main 10,yuv420p10le,30\n", 2, 1, 2},
                                         FormatCase{"yuv444p", "Rext,yuv444p,30\n", 4, 3, 0}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             return std::string(info.param.pix_fmt);
                         });

// Builds a frame from units of the real stream, each behind the given start code.
std::vector<uint8_t> Frame(const std::vector<std::vector<uint8_t>>& units, bool four_byte_start_codes = true) {
    std::vector<uint8_t> frame;
    for (const auto& unit : units) {
        if (four_byte_start_codes) frame.push_back(0);
        frame.insert(frame.end(), {0, 0, 1});
        frame.insert(frame.end(), unit.begin(), unit.end());
    }
    return frame;
}

class HvccUnitBoundaries : public testing::Test {
protected:
    void SetUp() override {
        const Source& source = SourceFor("yuv420p");
        vps_ = FirstNalUnit(VideoCodec::kH265, source.stream, HEVC_NAL_VPS);
        sps_ = FirstNalUnit(VideoCodec::kH265, source.stream, HEVC_NAL_SPS);
        pps_ = FirstNalUnit(VideoCodec::kH265, source.stream, HEVC_NAL_PPS);
        // x265 without B frames starts with IDR_N_LP; the slice header reads the same as IDR_W_RADL.
        idr_ = FirstNalUnit(VideoCodec::kH265, source.stream, HEVC_NAL_IDR_N_LP);
        ASSERT_FALSE(idr_.empty());
        idr_[0] = static_cast<uint8_t>((idr_[0] & 0x81) | (HEVC_NAL_IDR_W_RADL << 1));
    }
    std::vector<uint8_t> vps_, sps_, pps_, idr_;
};

TEST_F(HvccUnitBoundaries, FourByteStartCodesLeaveTheirLeadingZeroInThePreviousUnit) {
    int result = -100;
    ParsedHvcc record = WriteAndParse(Frame({vps_, sps_, pps_, idr_}), &result);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(record.arrays.size(), 3u);
    std::vector<uint8_t> vps_with_zero = vps_;
    vps_with_zero.push_back(0);
    EXPECT_EQ(record.arrays[0].units[0], vps_with_zero);
    std::vector<uint8_t> pps_with_zero = pps_;
    pps_with_zero.push_back(0);
    EXPECT_EQ(record.arrays[2].units[0], pps_with_zero);
}

TEST_F(HvccUnitBoundaries, ParameterSetsEndAtTheNextUnitOfAnyType) {
    // A CRA slice (not a recorded type) and an access unit delimiter must not become part of a set.
    std::vector<uint8_t> cra = idr_;
    cra[0] = static_cast<uint8_t>((cra[0] & 0x81) | (HEVC_NAL_CRA_NUT << 1));
    const std::vector<uint8_t> aud = {HEVC_NAL_AUD << 1, 0x01, 0x50};
    int result = -100;
    ParsedHvcc record = WriteAndParse(Frame({vps_, aud, sps_, pps_, cra}, false), &result);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(record.arrays.size(), 3u);
    EXPECT_EQ(record.arrays[0].units[0], vps_);
    EXPECT_EQ(record.arrays[2].units[0], pps_);
}

TEST_F(HvccUnitBoundaries, OnlyTheFirstKilobyteIsSearched) {
    std::vector<uint8_t> filler(1100, 0x55);
    filler[0] = HEVC_NAL_AUD << 1;
    filler[1] = 0x01;
    int result = -100;
    WriteAndParse(Frame({vps_, sps_, filler, pps_, idr_}), &result);
    EXPECT_EQ(result, -1);
}

TEST_F(HvccUnitBoundaries, ResultCodesForOtherInput) {
    struct Case {
        const char* name;
        std::vector<uint8_t> input;
        int expected;
    };
    const Case cases[] = {
        {"five bytes", {0, 0, 1, 0x40, 0x01}, -1}, {"no start code", std::vector<uint8_t>(64, 0x42), -2},
        {"no parameter sets", Frame({idr_}), -1},  {"no PPS", Frame({vps_, sps_, idr_}), -1},
        {"no VPS", Frame({sps_, pps_, idr_}), -1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(4096);
        ov_io_stream cursor{out.data(), 0, out.size()};
        EXPECT_EQ(ov_ff_isom_write_hvcc(&cursor, c.input.data(), static_cast<int>(c.input.size()), 0), c.expected)
            << c.name;
        EXPECT_EQ(cursor.index, 0u) << c.name;
    }
}

TEST_F(HvccUnitBoundaries, ARecordIsCopiedThroughAndCompletenessIsWritten) {
    std::vector<uint8_t> frame = Frame({vps_, sps_, pps_, idr_});
    std::vector<uint8_t> record(frame.size() + 1024);
    ov_io_stream first{record.data(), 0, record.size()};
    ASSERT_EQ(ov_ff_isom_write_hvcc(&first, frame.data(), static_cast<int>(frame.size()), 1), 0);
    record.resize(first.index);
    std::optional<ParsedHvcc> parsed = ParseHvcc(record.data(), record.size());
    ASSERT_TRUE(parsed.has_value());
    for (const auto& array : parsed->arrays) EXPECT_EQ(array.completeness, 1);

    std::vector<uint8_t> copy(record.size());
    ov_io_stream second{copy.data(), 0, copy.size()};
    ASSERT_EQ(ov_ff_isom_write_hvcc(&second, record.data(), static_cast<int>(record.size()), 0), 0);
    EXPECT_EQ(copy, record);
}

TEST_F(HvccUnitBoundaries, NeverWritesPastTheCursor) {
    std::vector<uint8_t> frame = Frame({vps_, sps_, pps_, idr_});
    std::vector<uint8_t> out(frame.size() + 1024, 0xEE);
    ov_io_stream cursor{out.data(), 0, 40};
    EXPECT_EQ(ov_ff_isom_write_hvcc(&cursor, frame.data(), static_cast<int>(frame.size()), 0), -1);
    EXPECT_EQ(out[0], 0xEE);
}

}  // namespace
}  // namespace facadetest
