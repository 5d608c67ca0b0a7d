// Frames from the device program's thread into the ring buffer, with the key-frame gate and the
// buffer-level pause of recorded playback.
#include "biz/streaming/relay_stream/relay_service.h"
#include "biz/user_interface/device_dispatch.h"
#include "utils/logger.h"

namespace {

// FrameRingBuffer::DataOneFrameIn results the relay acts on.
constexpr int kRingBadInput = -1;
constexpr int kRingFrameTooLarge = -2;
constexpr int kRingEmptiedWaitKey = -6;
constexpr int kRingFull = -8;

}  // namespace

int RelayService::AddVideoFrame(ov_video_format_e format, const unsigned char* buffer, unsigned int buffer_size,
                                int key_frame, unsigned int present_time) {
    FrameRingBuffer* ring = ring_buffer_.load();
    if (ring == nullptr) {
        LOGE("%s Send config before add video", log_info_.c_str());
        return -1;
    }
    if (buffer == nullptr) {
        LOGE("%s Invalid buffer parameter", log_info_.c_str());
        return -1;
    }
    if (format != video_format_.exchange(format)) {
        // A decoder cannot continue across a codec change: wait for the new stream's key frame.
        KeyFrameStatus status = key_frame_status_.load();
        if (status != KEY_FRAME_STATUS_STRICT && status != KEY_FRAME_STATUS_KEY_ONLY) {
            key_frame_status_ = KEY_FRAME_STATUS_STRICT;
        }
    }
    if (!checkKeyFrame(key_frame)) return 0;
    const MediaSpecialInfo info{MEDIA_SPECIAL_TYPE_VIDEO, present_time, key_frame != 0 ? 1 : 0,
                                static_cast<int>(format), packet_num_++};
    const int result = storeFrame(buffer, buffer_size, info);
    if (result != 0) return result;
    if (ring->GetUsePercent() >= kRingBufferHigh) {
        local_pause_ = true;
        checkPause();
    }
    return 0;
}

int RelayService::AddAudioFrame(const unsigned char* buffer, unsigned int buffer_size, unsigned int present_time) {
    if (ring_buffer_.load() == nullptr) {
        LOGE("%s Send config before add audio", log_info_.c_str());
        return -1;
    }
    if (buffer == nullptr) {
        LOGE("%s Invalid buffer parameter ", log_info_.c_str());
        return -1;
    }
    if (!checkKeyFrame(0)) return 0;
    const MediaSpecialInfo info{MEDIA_SPECIAL_TYPE_AUDIO, present_time, 0, 0, 0};
    return storeFrame(buffer, buffer_size, info);
}

// 0 stored (or refused by the buffer's own key-frame rules), 1 full, -1 empty or too large.
int RelayService::storeFrame(const unsigned char* buffer, unsigned int buffer_size, const MediaSpecialInfo& info) {
    FrameRingBuffer* ring = ring_buffer_.load();
    const int result = ring->DataOneFrameIn(buffer, buffer_size, &info, sizeof info);
    if (result == kRingBadInput) {
        LOGE("%s Invalid buffer parameter", log_info_.c_str());
        return -1;
    }
    if (result == kRingFrameTooLarge) {
        LOGE("%s Buffer too large", log_info_.c_str());
        return -1;
    }
    if (result == kRingFull) return 1;
    if (result == kRingEmptiedWaitKey) {
        key_frame_status_ = KEY_FRAME_STATUS_NOT_STRICT;
        DeviceDispatch::GetInstance()->OnPushStreamingCmdAsync(service_id_, OV_LIVE_REQUEST_I_FRAME, 0.0);
    }
    return 0;
}

bool RelayService::checkKeyFrame(int key_frame) {
    switch (key_frame_status_.load()) {
        case KEY_FRAME_STATUS_NORMAL:
            return true;
        case KEY_FRAME_STATUS_NOT_STRICT:
            if (key_frame == 0) return true;
            key_frame_status_ = KEY_FRAME_STATUS_NORMAL;
            if (FrameRingBuffer* ring = ring_buffer_.load()) {
                LOGI("%s drop to old i frame", log_info_.c_str());
                ring->DropToOldIFrame();
            }
            return true;
        case KEY_FRAME_STATUS_STRICT:
            if (key_frame == 0) return false;
            key_frame_status_ = KEY_FRAME_STATUS_NORMAL;
            return true;
        case KEY_FRAME_STATUS_KEY_ONLY:
            return key_frame != 0;
    }
    return true;
}

void RelayService::checkPause() {
    if (service_type_ != RELAY_SERVICE_VOD) return;
    const bool local = local_pause_, remote = remote_pause_;
    const bool pause = local || remote;
    if (total_pause_.exchange(pause) == pause) return;
    LOGD("%s change pause status, %d %d %d", log_info_.c_str(), pause, local, remote);
    handler_->OnPause(service_id_, pause ? 1 : 0, 0);
}
