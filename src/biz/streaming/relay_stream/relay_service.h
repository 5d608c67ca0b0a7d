// One RTMP publishing connection to a relay server: a live stream, a pre-event recording or a recorded
// playback. Frames go from the device program's thread through a ring buffer to a send thread; a read
// thread turns the server's status commands into calls on the owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "biz/streaming/relay_stream/relay_milestones.h"
#include "biz/streaming/relay_stream/relay_service_handler.h"
#include "common/ring_buffer.h"
#include "orvia_ipc.h"
#include "rtmp/rtmp_sdk/rtmp_client.h"

enum RelayServiceType : int32_t {
    RELAY_SERVICE_LIVE = 0,
    RELAY_SERVICE_VOD = 1,
    RELAY_SERVICE_VOICE = 2,
    RELAY_SERVICE_PRE_EVENT_RECORD = 3,
    RELAY_SERVICE_UNKNOWN = 4,
};

// The read thread's buffers; the client copies at most 256 bytes plus a terminator into each.
struct ReadContent {
    int code_buf_len = 0;
    int description_buf_len = 0;
    char code_buf[ZENQ_RTMP_STATUS_TEXT_MAX + 1] = {};
    char description_buf[ZENQ_RTMP_STATUS_TEXT_MAX + 1] = {};
};

class RelayService {
public:
    enum KeyFrameStatus : int32_t {
        KEY_FRAME_STATUS_NORMAL = 0,      // every frame accepted
        KEY_FRAME_STATUS_NOT_STRICT = 1,  // accepted; the next key frame moves the reader back to a key frame
        KEY_FRAME_STATUS_STRICT = 2,      // non-key video and audio refused until a key frame
        KEY_FRAME_STATUS_KEY_ONLY = 3,    // only key frames
    };

    enum MonitorNum : int32_t {
        CONNECT_FAILED = 0,
        THREAD_UNAVAILABLE = 1,
        CONNECT_LOST = 2,
        SEND_METADATA_FAILED = 3,
        SEND_DATA_FAILED = 4,
        DEVICE_CLOSE = 5,
    };

    static constexpr unsigned int kRingBufferHigh = 60;  // percent used that starts a local pause
    static constexpr unsigned int kRingBufferLow = 20;   // percent used that ends it
    static constexpr uint64_t kKeepAliveTime = 20000;    // ms
    static constexpr unsigned int kDefaultAudioLogNum = 100;

    // handler is not owned and must outlive the service.
    explicit RelayService(RelayServiceHandler* handler);
    virtual ~RelayService();
    RelayService(const RelayService&) = delete;
    RelayService& operator=(const RelayService&) = delete;

    // 0 once both threads are handed to the pool; -1 otherwise (the owner then destroys the service). A key
    // or IV that is given but does not decode to 16 bytes is refused. Returns before the connection is made.
    int StartService(int service_id, RelayServiceType type, const std::string& url, const std::string& iv,
                     const std::string& key, bool package_drop);
    // Waits for both threads, so never call it on them. May be called more than once.
    void StopService();
    // Applied once; time_type has no effect.
    int SendConfig(unsigned int bitrate_kbps, double duration, const ov_video_param_s* video_param,
                   const ov_audio_param_s* audio_param, int time_type);
    // 0 taken or skipped by the key-frame rules, 1 buffer full and dropping not allowed, -1 error.
    int AddVideoFrame(ov_video_format_e format, const unsigned char* buffer, unsigned int buffer_size,
                      int key_frame, unsigned int present_time);
    int AddAudioFrame(const unsigned char* buffer, unsigned int buffer_size, unsigned int present_time);
    // The completion message goes out once every video frame stored so far has been sent.
    void SendVodComplete();
    void SendPreComplete();

    // Whether StartService would accept this key and IV; for the owner to refuse a command early.
    static bool CipherAcceptable(const std::string& iv, const std::string& key);

private:
    static void ReadThreadEntry(void* arg);
    static void SendThreadEntry(void* arg);
    bool startThreads();

    // Send thread.
    void sendThread();
    int connect();
    void sendLoop();
    void onProcessSendResultAsync();
    bool connectIsAlive();
    bool sendMediaFrame();
    bool ensureMetadata();
    bool sendFrame(unsigned char* buffer, unsigned int size, const MediaSpecialInfo& info);
    void afterFrameSent(unsigned int size, const MediaSpecialInfo& info);
    void sendDueCompletions(bool buffer_empty, uint64_t sent_video_num);
    void sendVodComplete();
    void sendPreComplete();
    bool checkAlive();

    // Read thread.
    void readThread();
    void readCommand();
    void handleCommand(const std::string& code, const std::string& description);
    void onSeek(const std::string& description);
    void onForceIFrame();
    void onSetPlayParam(const std::string& description);

    // Device program's thread.
    bool checkKeyFrame(int key_frame);
    int storeFrame(const unsigned char* buffer, unsigned int buffer_size, const MediaSpecialInfo& info);
    void checkPause();
    void disconnect();

    void monitor_error(MonitorNum number, const std::string& message);
    void recordMilestone(std::atomic<uint64_t>& milestone);

    int service_id_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<bool> read_thread_not_really_quit_{false};
    std::atomic<bool> send_thread_not_really_quit_{false};
    std::atomic<bool> connect_{false};
    std::atomic<bool> passive_quit_{false};
    std::atomic<bool> send_config_{false};
    bool package_drop_ = false;
    std::atomic<bool> vod_complete_{false};
    std::atomic<bool> pre_complete_{false};
    std::atomic<bool> remote_pause_{false};
    std::atomic<bool> local_pause_{false};
    std::atomic<bool> total_pause_{false};
    RelayServiceType service_type_ = RELAY_SERVICE_UNKNOWN;
    std::atomic<uint64_t> vod_complete_num_{0};
    std::atomic<uint64_t> pre_complete_num_{0};
    uint64_t keep_alive_time_;
    std::atomic<int> playing_{0};
    std::atomic<KeyFrameStatus> key_frame_status_{KEY_FRAME_STATUS_NORMAL};
    uint64_t packet_num_ = 0;
    unsigned int audio_log_count_ = 0;
    // Published once by the first configuration; the owning pointer is released only at destruction, so
    // a device thread still adding frames after a stop never writes into freed memory.
    std::unique_ptr<FrameRingBuffer> ring_buffer_owner_;
    std::atomic<FrameRingBuffer*> ring_buffer_{nullptr};
    rtmp_client_s* rtmp_client_context_ = nullptr;
    bool send_metadata_ = false;
    ReadContent read_content_;
    RelayServiceHandler* handler_;
    std::atomic<ov_video_format_e> video_format_{OV_VIDEO_FORMAT_H264};
    std::string url_;
    std::vector<char> connect_url_;  // the client keeps pointers into it while connected
    std::string iv_;
    std::string key_;
    std::string log_info_;
    std::string monitor_time_base_;
    RelayMilestones milestones_;
};
