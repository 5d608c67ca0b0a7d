#include "hvcc_parser.h"

namespace facadetest {

std::optional<ParsedHvcc> ParseHvcc(const uint8_t* d, size_t len, size_t* consumed) {
    if (len < 23) return std::nullopt;
    ParsedHvcc h;
    h.version = d[0];
    h.profile_space = d[1] >> 6;
    h.tier = (d[1] >> 5) & 1;
    h.profile_idc = d[1] & 0x1F;
    h.compatibility = uint32_t{d[2]} << 24 | uint32_t{d[3]} << 16 | uint32_t{d[4]} << 8 | d[5];
    for (int i = 6; i < 12; ++i) h.constraints = h.constraints << 8 | d[i];
    h.level_idc = d[12];
    if ((d[13] & 0xF0) != 0xF0 || (d[15] & 0xFC) != 0xFC || (d[16] & 0xFC) != 0xFC || (d[17] & 0xF8) != 0xF8 ||
        (d[18] & 0xF8) != 0xF8) {
        return std::nullopt;
    }
    h.min_spatial_segmentation = (d[13] & 0x0F) << 8 | d[14];
    h.parallelism = d[15] & 3;
    h.chroma_format = d[16] & 3;
    h.bit_depth_luma_minus8 = d[17] & 7;
    h.bit_depth_chroma_minus8 = d[18] & 7;
    h.num_temporal_layers = (d[21] >> 3) & 7;
    h.temporal_id_nested = (d[21] >> 2) & 1;
    h.length_size_minus_one = d[21] & 3;
    size_t pos = 23;
    for (int a = 0; a < d[22]; ++a) {
        if (pos + 3 > len) return std::nullopt;
        ParsedHvcc::Array array{d[pos] >> 7, d[pos] & 0x3F, {}};
        int count = d[pos + 1] << 8 | d[pos + 2];
        pos += 3;
        for (int u = 0; u < count; ++u) {
            if (pos + 2 > len) return std::nullopt;
            size_t unit_len = size_t{d[pos]} << 8 | d[pos + 1];
            pos += 2;
            if (pos + unit_len > len) return std::nullopt;
            array.units.emplace_back(d + pos, d + pos + unit_len);
            pos += unit_len;
        }
        h.arrays.push_back(std::move(array));
    }
    if (consumed != nullptr) *consumed = pos;
    return h;
}

}  // namespace facadetest
