// Test-side reader of an hvcC record (ISO/IEC 14496-15 8.3.3.1.2), independent of the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace facadetest {

struct ParsedHvcc {
    int version = 0;
    int profile_space = 0;
    int tier = 0;
    int profile_idc = 0;
    uint32_t compatibility = 0;
    uint64_t constraints = 0;
    int level_idc = 0;
    int min_spatial_segmentation = 0;
    int parallelism = 0;
    int chroma_format = 0;
    int bit_depth_luma_minus8 = 0;
    int bit_depth_chroma_minus8 = 0;
    int num_temporal_layers = 0;
    int temporal_id_nested = 0;
    int length_size_minus_one = 0;
    struct Array {
        int completeness;
        int type;
        std::vector<std::vector<uint8_t>> units;
    };
    std::vector<Array> arrays;
};

// nullopt when the bytes are short or their lengths run past the end, or reserved bits are not set.
std::optional<ParsedHvcc> ParseHvcc(const uint8_t* data, size_t len, size_t* consumed = nullptr);

}  // namespace facadetest
