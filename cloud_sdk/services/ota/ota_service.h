// Firmware upgrade: takes the cloud's announcements, tells the thing model when the user is to be told,
// and downloads, checks and stores the image while reporting progress.
//
// Wiring by the thing-model layer:
//   - create one OtaService when it opens, with the device's product key, device name and a publish
//     function; subscribe UpgradeTopic() and RequestTopic() with QoS 1 and pass their payloads to
//     OnMessage();
//   - after each yield's MQTT work, when TakeUserNotification() gives a text, queue it as user event 40;
//   - answer IOT_Tessera_Query(..., ITM_MSG_QUERY_FOTA_DATA, buffer, length) with Download(buffer, length).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "services/ota/ota_announcement.h"
#include "services/ota/ota_digest.h"

namespace tessera {

// Publishes payload on topic with the QoS; 0 or a positive packet id on success, negative on failure.
using OtaPublish = std::function<int(const std::string& topic, const std::string& payload, int qos)>;

enum OtaProgressStep { OTA_STEP_DOWNLOAD_FAILED = -2, OTA_STEP_CHECK_FAILED = -3, OTA_STEP_WRITE_FAILED = -4 };

class OtaService {
public:
    enum class State { kInitialised, kFetching, kFetched };

    OtaService(std::string product_key, std::string device_name, OtaPublish publish);

    // "/ota/device/<kind>/<product key>/<device name>".
    std::string Topic(const char* kind) const;
    std::string UpgradeTopic() const { return Topic("upgrade"); }
    std::string RequestTopic() const { return Topic("request"); }

    // An announcement (or the reply to a request): 0 when accepted, -1 when ignored or refused.
    int OnMessage(const char* payload, size_t length);

    // Once per accepted announcement: the user event text {"version":"..."}.
    bool TakeUserNotification(std::string* event_text);

    // Fetches the announced image in pieces of at most length bytes through buffer, stores it and checks
    // its MD5: 0 when it matches, -1 otherwise, -2 for a null buffer or a length below 2.
    int Download(char* buffer, uint32_t length);

    State state() const;
    uint64_t fetched() const;
    std::string FetchedSha256();

private:
    struct Job;
    bool BeginDownload(Job* job);
    int FetchAll(const Job& job, char* buffer, uint32_t length);
    int Verify(const Job& job);
    void ReportProgress(int step, const char* desc);
    void ReportPercent(uint64_t fetched, uint64_t size, bool first_piece);
    void EndAttempt(State state);

    const std::string product_key_;
    const std::string device_name_;
    const OtaPublish publish_;

    mutable std::mutex mutex_;  // guards the fields below; never held while fetching or publishing
    State state_ = State::kInitialised;
    OtaAnnouncement announced_;
    bool user_told_ = false;
    bool downloading_ = false;
    uint64_t fetched_ = 0;

    FirmwareDigest digest_;  // used only by the downloading thread
    int last_percent_ = 0;
    uint64_t last_report_ms_ = 0;
};

}  // namespace tessera
