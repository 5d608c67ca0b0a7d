// FLV 10.1 E.4.3 VIDEODATA bodies for AVC (codec 7) and HEVC (codec 12). Pure writers: the caller
// gives a buffer with room; each returns the body length, 0 when it cannot build the body.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/rtmp_sdk/rtmp_client.h"

// Frame type, codec, AVCPacketType and a zero composition time come first in every body.
constexpr size_t kFlvVideoHeaderBytes = 5;
constexpr size_t kFlvNaluLengthBytes = 4;

// AVCDecoderConfigurationRecord (ISO/IEC 14496-15 5.3.3.1) with one SPS and one PPS.
size_t WriteAvcSequenceHeader(uint8_t* body, const uint8_t* sps, size_t sps_len, const uint8_t* pps,
                              size_t pps_len);

// hvcC record built from the key frame; capacity bounds the whole body. *result carries the
// record writer's code when it fails.
size_t WriteHevcSequenceHeader(uint8_t* body, size_t capacity, const uint8_t* frame, size_t frame_len,
                               int* result);

// One NALU message: the payload follows a single 32-bit length.
size_t WriteVideoFrame(uint8_t* body, zenq_rtmp_video_format_e format, bool key_frame, const uint8_t* payload,
                       size_t payload_len);
