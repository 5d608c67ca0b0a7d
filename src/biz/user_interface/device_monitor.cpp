#include "biz/user_interface/device_monitor.h"

#include <mutex>

#include "biz/user_interface/device_monitor_reports.h"
#include "biz/user_interface/message_service.h"
#include "ov_build_info.h"
#include "utils/logger.h"

std::atomic<DeviceMonitor*> DeviceMonitor::instance_{nullptr};

namespace {

std::mutex g_instance_mutex;

const int kMasterDevice = 0;
const char kMonitorTopic[] = "/vision/biz/dev/monitor/upstream";
const char kEncryptTypes[] = "{\"EncryptTypeList\":[0]}";
const char kPictureType[] = "{\"UploadPictureType\":1}";
const char kPreRecordSupport[] = "{\"PreRecordSupport\":1}";

// What the SDK knows of itself; the device's own firmware is reported by the cloud device SDK.
std::vector<std::string> VersionComponents() {
    return {"orvia", OV_BUILD_VERSION, OV_BUILD_ID, OV_BUILD_DATE, OV_BUILD_BY, "linux"};
}

int SendMonitorReport(const std::string& report) {
    if (report.empty()) {
        LOGE("Build monitor report failed");
        return -1;
    }
    return MessageService::GetInstance()->AddOrvia(kMasterDevice, kMonitorTopic, report);
}

int SendProperty(const char* property) { return MessageService::GetInstance()->AddProperty(kMasterDevice, property); }

}  // namespace

DeviceMonitor* DeviceMonitor::GetInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (instance_.load() == nullptr) instance_ = new DeviceMonitor();
    return instance_.load();
}

void DeviceMonitor::DestroyInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    delete instance_.exchange(nullptr);
}

void DeviceMonitor::ReportConnectionInfo() {
    ReportVersionInfo();
    ReportEncryptType();
    ReportPictureType();
    ReportSupportPreRecord();
}

int DeviceMonitor::ReportVersionInfo() {
    if (report_version_) {
        LOGD("Version have reported");
        return 0;
    }
    const std::string version = VersionText(VersionComponents());
    report_version_ = true;
    LOGD("version: %s", version.c_str());
    return SendMonitorReport(VersionReport(version));
}

int DeviceMonitor::ReportEncryptType() { return SendProperty(kEncryptTypes); }

int DeviceMonitor::ReportPictureType() { return SendProperty(kPictureType); }

int DeviceMonitor::ReportSupportPreRecord() { return SendProperty(kPreRecordSupport); }

int DeviceMonitor::ReportRelayInfo(const MonitorRelayInfo& info) { return SendMonitorReport(RelayInfoReport(info)); }

int DeviceMonitor::ReportError(const MonitorErrorInfo& info) {
    std::string report;
    if (!ErrorReport(info, &report)) {
        LOGE("Illegal error report, module:%s code:%s", info.module.c_str(), info.code.c_str());
        return -1;
    }
    return SendMonitorReport(report);
}
