// The send thread: connects once, then moves frames from the ring buffer to the RTMP client.
#include <unistd.h>

#include <cstring>

#include "biz/streaming/relay_stream/relay_service.h"
#include "utils/logger.h"
#include "utils/tic.h"

namespace {

constexpr useconds_t kSendPollUs = 10 * 1000;
constexpr int kRingEmpty = -4;
constexpr int kRingCorrupted = -5;

int SendStatusText(rtmp_client_s* context, const char* text) {
    return IOT_RTMP_SendMessage(context, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

void RelayService::sendThread() {
    const int result = connect();
    if (result < 0) {
        LOGE("%s connect failed, result = %d", log_info_.c_str(), result);
        running_ = false;
        onProcessSendResultAsync();
        send_thread_not_really_quit_ = false;
        return;
    }
    if (playing_ != 0) {
        LOGI("%s RTMP check playing", log_info_.c_str());
        handler_->OnPlay(service_id_);
    }
    LOGI("%s SendThread start", log_info_.c_str());
    sendLoop();
    LOGI("%s SendThread quit", log_info_.c_str());
    send_thread_not_really_quit_ = false;
}

int RelayService::connect() {
    if (url_.empty()) {
        LOGE("%s Url is not available", log_info_.c_str());
        return -1;
    }
    LOGD("%s url:%s", log_info_.c_str(), url_.c_str());
    recordMilestone(milestones_.start_rtmp);
    connect_url_.assign(url_.begin(), url_.end());
    connect_url_.push_back('\0');
    const int result = IOT_RTMP_Connect(rtmp_client_context_, connect_url_.data());
    if (result < 0) {
        LOGE("%s IOT_RTMP_Connect failed,result = [%d]", log_info_.c_str(), result);
        monitor_error(CONNECT_FAILED, url_);
        return result;
    }
    playing_ = IOT_RTMP_CheckPlaying(rtmp_client_context_);
    recordMilestone(milestones_.hand_shake);
    LOGD("%s Connect success", log_info_.c_str());
    connect_ = true;
    keep_alive_time_ = GetSystemTimeInt();
    return 0;
}

void RelayService::sendLoop() {
    while (running_) {
        const bool healthy = connectIsAlive() && sendMediaFrame() && connectIsAlive() && sendMediaFrame() &&
                             checkAlive();
        if (!healthy) {
            // A stop from the owner also closes the connection: that is no failure of the session.
            if (running_) onProcessSendResultAsync();
            break;
        }
        usleep(kSendPollUs);
    }
}

void RelayService::onProcessSendResultAsync() {
    running_ = false;
    LOGD("%s Add async close timer", log_info_.c_str());
    passive_quit_ = true;
    handler_->relayServiceOnStatus(service_id_);
}

bool RelayService::connectIsAlive() {
    if (rtmp_client_context_ == nullptr) return false;
    if (IOT_RTMP_IsConnect(rtmp_client_context_) < 0) {
        if (!running_) return false;  // closed by StopService
        monitor_error(CONNECT_LOST, url_);
        LOGI("%s Connection is close", log_info_.c_str());
        return false;
    }
    return true;
}

bool RelayService::sendMediaFrame() {
    FrameRingBuffer* ring = ring_buffer_.load();
    if (ring == nullptr || remote_pause_) return true;
    unsigned char* buffer = nullptr;
    unsigned int size = 0, special_size = 0;
    MediaSpecialInfo* info = nullptr;
    const int result = ring->DataOneFrameOut(&buffer, &size, &info, &special_size);
    if (result == kRingEmpty) {
        sendDueCompletions(true, 0);
        return true;
    }
    if (result == kRingCorrupted) {
        LOGE("%s Read data failed", log_info_.c_str());
        ring->CleanAllFrameData();
        return true;
    }
    if (ring->GetUsePercent() <= kRingBufferLow) {
        local_pause_ = false;
        checkPause();
    }
    if (!ensureMetadata()) return false;
    return sendFrame(buffer, size, *info);
}

bool RelayService::ensureMetadata() {
    if (send_metadata_) return true;
    const int result = IOT_RTMP_SendMetadata(rtmp_client_context_);
    if (result < 0) {
        monitor_error(SEND_METADATA_FAILED, url_);
        LOGE("%s Send metadata failed, result = %d", log_info_.c_str(), result);
        LOGE("%s send metadata failed", log_info_.c_str());
        return false;
    }
    LOGI("%s Send metadata success", log_info_.c_str());
    send_metadata_ = true;
    return true;
}

bool RelayService::sendFrame(unsigned char* buffer, unsigned int size, const MediaSpecialInfo& info) {
    int result = 0;
    if (info.type == MEDIA_SPECIAL_TYPE_VIDEO) {
        IOT_RTMP_SetVideoFormat(rtmp_client_context_,
                                info.format != 0 ? ZENQ_RTMP_VIDEO_FORMAT_HEVC : ZENQ_RTMP_VIDEO_FORMAT_AVC);
        result = IOT_RTMP_SendVideo(rtmp_client_context_, buffer, size, info.key_frame, info.present_time);
    } else if (info.type == MEDIA_SPECIAL_TYPE_AUDIO) {
        result = IOT_RTMP_SendAudio(rtmp_client_context_, buffer, size, info.present_time);
    } else {
        LOGE("%s Unknown media type = %d, timestamp = %u, key_frame = %d", log_info_.c_str(), info.type,
             info.present_time, info.key_frame);
        ring_buffer_.load()->CleanAllFrameData();
        return true;
    }
    if (result == ZENQ_RTMP_SEND_FAILED) {
        LOGE("%s media send result = %d , media type = %d, time = %u size = %u", log_info_.c_str(), result,
             info.type, info.present_time, size);
        if (running_) monitor_error(SEND_DATA_FAILED, url_ + ";" + std::to_string(result));
        return false;
    }
    if (result >= 0) afterFrameSent(size, info);  // other failures lose just this frame
    if (info.type == MEDIA_SPECIAL_TYPE_VIDEO) sendDueCompletions(false, info.packet_num);
    return true;
}

void RelayService::afterFrameSent(unsigned int size, const MediaSpecialInfo& info) {
    if (info.type == MEDIA_SPECIAL_TYPE_VIDEO && info.key_frame != 0) {
        LOGI("%s send I frame, time = %u, size = %u", log_info_.c_str(), info.present_time, size);
        recordMilestone(milestones_.first_i_frame);
        if (milestones_.force_i_frame != 0) recordMilestone(milestones_.first_i_frame_after_force);
    } else if (info.type == MEDIA_SPECIAL_TYPE_AUDIO && ++audio_log_count_ > kDefaultAudioLogNum) {
        audio_log_count_ = 0;
        LOGI("%s send audio, time = %u, size = %u", log_info_.c_str(), info.present_time, size);
    }
}

// A completion is due when the buffer runs empty or once the last video frame stored before it was marked
// has gone out.
void RelayService::sendDueCompletions(bool buffer_empty, uint64_t sent_video_num) {
    if (vod_complete_ && (buffer_empty || sent_video_num >= vod_complete_num_)) {
        vod_complete_ = false;
        sendVodComplete();
    }
    if (pre_complete_ && (buffer_empty || sent_video_num >= pre_complete_num_)) {
        pre_complete_ = false;
        sendPreComplete();
    }
}

void RelayService::sendVodComplete() {
    const int result = SendStatusText(rtmp_client_context_, "NetStream.VOD.Complete");
    if (result < 0) {
        LOGE("%s Send vod complete failed, result = %d", log_info_.c_str(), result);
    } else {
        LOGI("%s Send vod complete success", log_info_.c_str());
    }
}

void RelayService::sendPreComplete() {
    const int result = SendStatusText(rtmp_client_context_, "NetStream.Pre.Complete");
    if (result < 0) {
        LOGE("%s Send pre complete failed, result = %d", log_info_.c_str(), result);
    } else {
        LOGI("%s Send pre complete success", log_info_.c_str());
    }
}

bool RelayService::checkAlive() {
    const uint64_t now = GetSystemTimeInt();
    if (now - keep_alive_time_ <= kKeepAliveTime) return true;
    const int result = SendStatusText(rtmp_client_context_, "NetStream.Keepalive");
    if (result < 0) {
        LOGE("%s Send keep alive failed, result = %d", log_info_.c_str(), result);
        return false;
    }
    LOGD("%s Send keep alive success", log_info_.c_str());
    keep_alive_time_ = now;
    return true;
}
