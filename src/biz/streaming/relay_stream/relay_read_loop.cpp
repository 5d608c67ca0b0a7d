// The read thread: the relay server's status commands, turned into calls on the owner.
#include <cjson/cJSON.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "biz/streaming/relay_stream/relay_service.h"
#include "biz/user_interface/device_dispatch.h"
#include "utils/logger.h"

namespace {

constexpr useconds_t kReadPollUs = 20 * 1000;

bool TextLengthUsable(int length) { return length > 0 && length <= ZENQ_RTMP_STATUS_TEXT_MAX; }

}  // namespace

void RelayService::readThread() {
    LOGI("%s ReadThread start", log_info_.c_str());
    while (running_) {
        if (connect_) readCommand();
        usleep(kReadPollUs);
    }
    read_thread_not_really_quit_ = false;
    LOGI("%s ReadThread quit", log_info_.c_str());
}

void RelayService::readCommand() {
    ReadContent& content = read_content_;
    content.code_buf_len = content.description_buf_len = 0;
    const int result = IOT_RTMP_ReadOnStatus(rtmp_client_context_, content.code_buf, &content.code_buf_len,
                                             content.description_buf, &content.description_buf_len);
    // A truncated text (length above the buffer) is not the command the server meant.
    if (result < 0 || !TextLengthUsable(content.code_buf_len) || !TextLengthUsable(content.description_buf_len)) {
        return;
    }
    content.code_buf[content.code_buf_len] = '\0';
    content.description_buf[content.description_buf_len] = '\0';
    LOGI("%s read cmd:%s description:%s", log_info_.c_str(), content.code_buf, content.description_buf);
    handleCommand(std::string(content.code_buf, content.code_buf_len),
                  std::string(content.description_buf, content.description_buf_len));
}

void RelayService::handleCommand(const std::string& code, const std::string& description) {
    using Action = void (*)(RelayService& self, const std::string& description);
    struct CommandEntry {
        const char* code;
        Action action;
    };
    static const CommandEntry kCommands[] = {
        {"NetStream.Play.Start", [](RelayService& s, const std::string&) { s.handler_->OnPlay(s.service_id_); }},
        {"NetStream.Pause.Start",
         [](RelayService& s, const std::string&) {
             s.remote_pause_ = true;
             s.checkPause();
         }},
        {"NetStream.Unpause.Start",
         [](RelayService& s, const std::string&) {
             s.remote_pause_ = false;
             s.checkPause();
         }},
        {"NetStream.Seek.Start", [](RelayService& s, const std::string& d) { s.onSeek(d); }},
        {"NetStream.Stop.Start",
         [](RelayService& s, const std::string&) {
             DeviceDispatch::GetInstance()->OnPushStreamingCmdAsync(s.service_id_, OV_STORAGE_RECORD_STOP, 0.0);
         }},
        {"NetStream.ForceIFrame.Start", [](RelayService& s, const std::string&) { s.onForceIFrame(); }},
        {"NetStream.Complete.Response", [](RelayService&, const std::string&) {}},
        {"NetStream.SetPlayParam.Start", [](RelayService& s, const std::string& d) { s.onSetPlayParam(d); }},
    };
    for (const CommandEntry& entry : kCommands) {
        if (code == entry.code) {
            entry.action(*this, description);
            return;
        }
    }
    LOGE("%s Nonrecognition cmd", log_info_.c_str());
}

void RelayService::onSeek(const std::string& description) {
    const double timestamp = std::strtod(description.c_str(), nullptr);
    key_frame_status_ = KEY_FRAME_STATUS_NOT_STRICT;
    handler_->OnSeek(service_id_, timestamp);
}

void RelayService::onForceIFrame() {
    if (service_type_ == RELAY_SERVICE_PRE_EVENT_RECORD) return;  // a recording is not re-encoded
    recordMilestone(milestones_.force_i_frame);
    key_frame_status_ = KEY_FRAME_STATUS_NOT_STRICT;
    DeviceDispatch::GetInstance()->OnPushStreamingCmdAsync(service_id_, OV_LIVE_REQUEST_I_FRAME, 0.0);
}

void RelayService::onSetPlayParam(const std::string& description) {
    std::unique_ptr<cJSON, void (*)(cJSON*)> json(cJSON_Parse(description.c_str()), cJSON_Delete);
    const cJSON* only_key = cJSON_GetObjectItemCaseSensitive(json.get(), "onlyKeyFrame");
    const cJSON* speed = cJSON_GetObjectItemCaseSensitive(json.get(), "speed");
    if (!cJSON_IsNumber(only_key) || !cJSON_IsNumber(speed)) {
        LOGE("Parse param error");
        return;
    }
    const int only_key_frame = only_key->valueint;
    if (only_key_frame != 0) {
        key_frame_status_ = KEY_FRAME_STATUS_KEY_ONLY;
    } else if (key_frame_status_ == KEY_FRAME_STATUS_KEY_ONLY) {
        key_frame_status_ = KEY_FRAME_STATUS_STRICT;  // leaving key-only: resume at the next key frame
    } else {
        key_frame_status_ = KEY_FRAME_STATUS_NORMAL;
    }
    handler_->OnSetPlayParam(service_id_, only_key_frame, speed->valuedouble);
}
