// The context behind the opaque rtmp_client_s handle.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "rtmp/rtmp_sdk/aes_cbc_cipher.h"
#include "rtmp/rtmp_sdk/engine/rtmp.h"
#include "rtmp/rtmp_sdk/nal_unit_cache.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"
#include "rtmp/rtmp_sdk/timestamp_rebase.h"

constexpr size_t kVideoBodyInitialBytes = 52224;
constexpr size_t kVideoBodySpareBytes = 1024;  // room beyond the frame for configuration records
constexpr size_t kAudioBodyBytes = 9216;
constexpr size_t kSeiCacheInitialBytes = 102400;
constexpr size_t kBodyOffset = RTMP_MAX_HEADER_SIZE;  // the engine writes chunk headers in front

struct RtmpFree {
    void operator()(RTMP* r) const { RTMP_Free(r); }
};

// Buffers of one message kind: bodies start kBodyOffset bytes in.
struct MessageBuffer {
    std::vector<uint8_t> bytes;
    uint8_t* body() { return bytes.data() + kBodyOffset; }
    size_t body_capacity() const { return bytes.size() - kBodyOffset; }
};

struct rtmp_client_s {
    std::unique_ptr<RTMP, RtmpFree> rtmp;
    zenq_rtmp_config_s config{};
    zenq_rtmp_read_handler handler{};

    // Sending thread.
    MessageBuffer video_packet;
    size_t cur_video_packet_body_len = 0;
    std::atomic<bool> video_header_send{false};  // cleared by Disconnect from any thread
    nal_unit_s sps;
    nal_unit_s pps;
    nal_unit_s vps;
    nal_unit_s sei{kSeiCacheInitialBytes};
    std::atomic<bool> audio_header_send{false};
    MessageBuffer audio_packet;
    TimestampRebase video_timestamps;
    TimestampRebase audio_timestamps;
    AesCbcCipher encryptor;

    // Reading thread.
    std::vector<uint8_t> decrypt_buffer;
    AesCbcCipher decryptor;
};
