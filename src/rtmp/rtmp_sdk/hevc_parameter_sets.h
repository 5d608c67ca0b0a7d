// Reads the fields of an hvcC record from VPS, SPS and PPS units (H.265 7.3.2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/hevc_config_record.h"

// Each takes the whole NAL unit including its two-byte header and merges what it reads into record.
void HevcParseVps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record);
void HevcParseSps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record);
void HevcParsePps(const uint8_t* nal, size_t len, HEVCDecoderConfigurationRecord* record);
