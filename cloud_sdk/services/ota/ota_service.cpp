#include "services/ota/ota_service.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"
#include "tessera_httpclient.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "ota";
constexpr int kProgressQos = 0;
constexpr int kHttpsPort = 443;  // unless the URL names its own
constexpr uint32_t kPieceTimeoutMs = 1000;
constexpr int kPercentStep = 5;
constexpr uint64_t kReportIntervalMs = 50;
constexpr const char kAcceptHeader[] =
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n";

bool IsSuccessStatus(int status) { return status >= 200 && status < 300; }

// {"version":"..."}, escaped: the version comes from the network.
std::string VersionEventText(const std::string& version) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> event(cJSON_CreateObject(), cJSON_Delete);
    cJSON_AddStringToObject(event.get(), "version", version.c_str());
    std::unique_ptr<char, decltype(&cJSON_free)> text(cJSON_PrintUnformatted(event.get()), cJSON_free);
    return text != nullptr ? text.get() : "";
}

}  // namespace

struct OtaService::Job {
    std::string url;
    std::string md5;
    uint64_t size = 0;
};

OtaService::OtaService(std::string product_key, std::string device_name, OtaPublish publish)
    : product_key_(std::move(product_key)), device_name_(std::move(device_name)), publish_(std::move(publish)) {}

std::string OtaService::Topic(const char* kind) const {
    return std::string("/ota/device/") + kind + "/" + product_key_ + "/" + device_name_;
}

int OtaService::OnMessage(const char* payload, size_t length) {
    OtaAnnouncement announcement;
    if (!ParseOtaAnnouncement(payload, length, &announcement)) return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    if (downloading_) {
        SDK_ERR(kModule, "In downloading state");
        return -1;
    }
    announced_ = std::move(announcement);
    state_ = State::kFetching;
    user_told_ = false;
    return 0;
}

bool OtaService::TakeUserNotification(std::string* event_text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ != State::kFetching || user_told_ || downloading_) return false;
        user_told_ = true;
        *event_text = VersionEventText(announced_.version);
    }
    SDK_INFO(kModule, "Send To User: %s", event_text->c_str());
    return true;
}

OtaService::State OtaService::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

uint64_t OtaService::fetched() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetched_;
}

std::string OtaService::FetchedSha256() { return digest_.Sha256Hex(); }

bool OtaService::BeginDownload(Job* job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kFetching || downloading_) {
        SDK_ERR(kModule, "no firmware announced to fetch");
        return false;
    }
    downloading_ = true;
    fetched_ = 0;
    *job = {announced_.url, announced_.md5, announced_.size};
    return true;
}

// Every attempt consumes the announcement: a failed one is not retried until the cloud announces again.
void OtaService::EndAttempt(State state) {
    std::lock_guard<std::mutex> lock(mutex_);
    downloading_ = false;
    state_ = state;
    user_told_ = false;
}

void OtaService::ReportProgress(int step, const char* desc) {
    char payload[160];
    snprintf(payload, sizeof(payload), "{\"id\":%d,\"params\":{\"step\":\"%d\",\"desc\":\"%s\"}}", 0, step, desc);
    if (publish_(Topic("progress"), payload, kProgressQos) < 0) SDK_WARN(kModule, "report progress failed");
}

void OtaService::ReportPercent(uint64_t fetched, uint64_t size, bool first_piece) {
    uint64_t now = HAL_UptimeMs();
    if (first_piece) {
        ReportProgress(0, "Enter in downloading state");
        last_percent_ = 0;
        last_report_ms_ = now;
    }
    int percent = static_cast<int>(std::min<uint64_t>(fetched * 100 / size, 100));
    bool grown = percent - last_percent_ > kPercentStep && now - last_report_ms_ > kReportIntervalMs;
    if (!grown && percent < 100) return;
    ReportProgress(percent, "");
    last_percent_ = percent;
    last_report_ms_ = now;
}

int OtaService::FetchAll(const Job& job, char* buffer, uint32_t length) {
    http_conn_rec ctx{};
    ctx.extra_headers = kAcceptHeader;
    http_exchange_rec data{};
    data.reply_buf = buffer;
    data.reply_capacity = static_cast<int>(length);
    uint64_t fetched = 0;
    while (fetched < job.size) {
        int ret = httpclient_common(&ctx, job.url.c_str(), kHttpsPort, HAL_GetCACert(), HTTPCLIENT_GET,
                                    kPieceTimeoutMs, &data);
        // An error page or a body that ends before the announced size is no image.
        bool failed = ret != 0 || !IsSuccessStatus(ctx.status_code) || (!data.body_pending && fetched +
                      static_cast<uint64_t>(data.reply_len) < job.size);
        if (failed) {
            httpclient_close(&ctx);
            SDK_ERR(kModule, "Fetch firmware failed");
            ReportProgress(OTA_STEP_DOWNLOAD_FAILED, "Fetch firmware failed");
            return -1;
        }
        if (fetched == 0) digest_.Restart();
        uint64_t piece = std::min<uint64_t>(static_cast<uint64_t>(data.reply_len), job.size - fetched);
        digest_.Update(buffer, piece);
        if (HAL_Firmware_Persistence_Write(buffer, static_cast<uint32_t>(piece)) != 0) {
            httpclient_close(&ctx);
            SDK_ERR(kModule, "Fota write firmware failed");
            ReportProgress(OTA_STEP_WRITE_FAILED, "Fota write firmware failed");
            return -1;
        }
        bool first_piece = fetched == 0;
        fetched += piece;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            fetched_ = fetched;
        }
        ReportPercent(fetched, job.size, first_piece);
    }
    httpclient_close(&ctx);  // bytes past the announced size are not wanted
    return 0;
}

int OtaService::Verify(const Job& job) {
    std::string md5 = digest_.Md5Hex();
    SDK_INFO(kModule, "origin=%s, now=%s", job.md5.c_str(), md5.c_str());
    if (md5 == job.md5) return 0;
    SDK_ERR(kModule, "image digest does not match");
    ReportProgress(OTA_STEP_CHECK_FAILED, "Check firmware failed");
    return -1;
}

int OtaService::Download(char* buffer, uint32_t length) {
    if (buffer == nullptr || length < 2) return -2;
    Job job;
    if (!BeginDownload(&job)) return -1;
    if (HAL_Firmware_Persistence_Start() != 0) {
        SDK_ERR(kModule, "Fota write firmware failed");
        ReportProgress(OTA_STEP_WRITE_FAILED, "Fota write firmware failed");
        EndAttempt(State::kInitialised);
        return -1;
    }
    int ret = FetchAll(job, buffer, length);
    HAL_Firmware_Persistence_Stop();
    if (ret != 0) {
        EndAttempt(State::kInitialised);
        return ret;
    }
    ret = Verify(job);
    EndAttempt(State::kFetched);
    return ret;
}

}  // namespace tessera
