// Life cycle and configuration of a relay service.
#include "biz/streaming/relay_stream/relay_service.h"

#include <unistd.h>

#include <cstring>

#include "biz/streaming/relay_stream/relay_config.h"
#include "common/thread_pool.h"
#include "utils/logger.h"
#include "utils/tic.h"

namespace {

constexpr unsigned int kThreadsPerSession = 2;
constexpr useconds_t kStopPollUs = 20 * 1000;

struct TypeLabel {
    RelayServiceType type;
    const char* label;
};
constexpr TypeLabel kTypeLabels[] = {
    {RELAY_SERVICE_LIVE, "[Live relay "},
    {RELAY_SERVICE_VOD, "[Vod relay "},
    {RELAY_SERVICE_VOICE, "[Voice relay "},
    {RELAY_SERVICE_PRE_EVENT_RECORD, "[Pre relay "},
};

std::string LogPrefix(RelayServiceType type, int service_id) {
    const char* label = "[Unknown relay ";
    for (const TypeLabel& entry : kTypeLabels) {
        if (entry.type == type) label = entry.label;
    }
    return label + std::to_string(service_id) + "]";
}

}  // namespace

RelayService::RelayService(RelayServiceHandler* handler)
    : keep_alive_time_(GetSystemTimeInt()), handler_(handler) {}

RelayService::~RelayService() { StopService(); }

bool RelayService::CipherAcceptable(const std::string& iv, const std::string& key) {
    return RelayCipherUsable(iv, key);
}

int RelayService::StartService(int service_id, RelayServiceType type, const std::string& url,
                               const std::string& iv, const std::string& key, bool package_drop) {
    if (service_id < 0) {
        LOGE("Service id %d is illegal", service_id);
        return -1;
    }
    log_info_ = LogPrefix(type, service_id);
    if (!RelayCipherUsable(iv, key)) {
        LOGE("%s encrypt key or iv is not 16 bytes, refuse", log_info_.c_str());
        return -1;
    }
    const int result = IOT_RTMP_Init(&rtmp_client_context_);
    if (result < 0) {
        LOGE("%s IOT_RTMP_Init failed, result = [%d]", log_info_.c_str(), result);
        rtmp_client_context_ = nullptr;
        return -1;
    }
    monitor_time_base_ = GetUtcTimeString();
    recordMilestone(milestones_.recv_push);
    url_ = url;
    iv_ = iv;
    key_ = key;
    service_id_ = service_id;
    package_drop_ = package_drop;
    service_type_ = type;
    running_ = true;
    passive_quit_ = false;
    if (!startThreads()) {
        // The session never ran: its end is not the device closing it.
        running_ = false;
        passive_quit_ = true;
        LOGE("%s no idle thread available", log_info_.c_str());
        monitor_error(THREAD_UNAVAILABLE, url_);
        return -1;
    }
    LOGI("%s start service success", log_info_.c_str());
    key_frame_status_ = KEY_FRAME_STATUS_NOT_STRICT;
    return 0;
}

bool RelayService::startThreads() {
    ThreadPool* pool = ThreadPool::GetInstance();
    if (pool->GetThreadRemain() < kThreadsPerSession) return false;
    read_thread_not_really_quit_ = true;
    send_thread_not_really_quit_ = true;
    if (!pool->AddJob(&RelayService::ReadThreadEntry, this)) {
        read_thread_not_really_quit_ = false;
        send_thread_not_really_quit_ = false;
        return false;
    }
    if (!pool->AddJob(&RelayService::SendThreadEntry, this)) {
        send_thread_not_really_quit_ = false;
        return false;  // the read thread sees running_ cleared and leaves
    }
    return true;
}

void RelayService::ReadThreadEntry(void* arg) { static_cast<RelayService*>(arg)->readThread(); }

void RelayService::SendThreadEntry(void* arg) { static_cast<RelayService*>(arg)->sendThread(); }

void RelayService::StopService() {
    if (rtmp_client_context_ == nullptr && service_id_ == 0) return;  // never started, or stopped already
    LOGD("%s stop service", log_info_.c_str());
    if (!passive_quit_ && running_) monitor_error(DEVICE_CLOSE, url_);
    running_ = false;
    disconnect();
    while (read_thread_not_really_quit_ || send_thread_not_really_quit_) usleep(kStopPollUs);
    if (rtmp_client_context_ != nullptr) IOT_RTMP_Deinit(rtmp_client_context_);
    rtmp_client_context_ = nullptr;
    // The ring's memory stays until destruction: the device thread may still be adding a frame.
    if (FrameRingBuffer* ring = ring_buffer_.load()) ring->CleanAllFrameData();
    LOGI("%s stop service success", log_info_.c_str());
    service_id_ = 0;
}

void RelayService::disconnect() {
    if (rtmp_client_context_ == nullptr) {
        LOGD("%s Rtmp is not connected, do nothing", log_info_.c_str());
        return;
    }
    if (connect_) IOT_RTMP_Disconnect(rtmp_client_context_);
    playing_ = 0;
    connect_ = false;
    LOGD("%s Disconnect success", log_info_.c_str());
}

int RelayService::SendConfig(unsigned int bitrate_kbps, double duration, const ov_video_param_s* video_param,
                             const ov_audio_param_s* audio_param, int /*time_type*/) {
    if (send_config_) {
        LOGD("%s config has been send, do nothing", log_info_.c_str());
        return 0;
    }
    zenq_rtmp_config_s config;
    if (video_param == nullptr || audio_param == nullptr ||
        !BuildRelayRtmpConfig(duration, *video_param, *audio_param, &config)) {
        // Checked before the ring exists, so a refused configuration never leaves a ring behind.
        LOGE("%s illegal input", log_info_.c_str());
        return -1;
    }
    if (!iv_.empty() && !key_.empty()) {
        config.stream_encrypt = 1;
        DecodeRelayCipherText(key_, config.key);  // StartService has checked both
        DecodeRelayCipherText(iv_, config.iv);
        LOGD("%s encrypt: key=%s, ken len=%u iv=%s iv len=%u", log_info_.c_str(), key_.c_str(),
             static_cast<unsigned>(key_.size()), iv_.c_str(), static_cast<unsigned>(iv_.size()));
    }
    if (ring_buffer_.load() == nullptr) {
        ring_buffer_owner_ = std::make_unique<FrameRingBuffer>(RelayRingBufferSize(bitrate_kbps));
        ring_buffer_owner_->SetPackageDropStrategy(package_drop_ ? 0 : 1);
        ring_buffer_ = ring_buffer_owner_.get();
    }
    IOT_RTMP_SetConfig(rtmp_client_context_, &config);
    video_format_ = video_param->format;
    send_config_ = true;
    return 0;
}

void RelayService::SendVodComplete() {
    vod_complete_num_ = packet_num_;
    vod_complete_ = true;
    LOGI("%s Add vod complete", log_info_.c_str());
}

void RelayService::SendPreComplete() {
    pre_complete_num_ = packet_num_;
    pre_complete_ = true;
    LOGI("%s Add pre complete", log_info_.c_str());
}
