// Tells the cloud what the device is and how its streaming goes: the SDK version and capabilities on every
// cloud connection, the timing of live-stream start-ups and the errors of the streaming and upload
// services. It only builds the texts; the message service sends them from the network task queue.
#pragma once

#include <atomic>
#include <string>

// The time stamps of one live-stream start-up, as texts; filled by the relay service.
struct MonitorRelayInfo {
    std::string base_;
    std::string recv_push;
    std::string start_rtmp;
    std::string hands_shake;
    std::string first_i_frame;
    std::string force_i_frame;
    std::string first_i_frame_after_force;
};

// One error of a streaming or upload service. code is a decimal integer, e.g. "-1".
struct MonitorErrorInfo {
    std::string module;
    std::string code;
    std::string message;
    std::string data;
};

// Every report uses device id 0 and returns the message service's result.
class DeviceMonitor {
public:
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    static DeviceMonitor* GetInstance();
    static void DestroyInstance();

    // On every cloud connection: ReportVersionInfo, ReportEncryptType, ReportPictureType and
    // ReportSupportPreRecord in that order; a report that cannot be queued does not hold up the others.
    void ReportConnectionInfo();
    // Once per instance; later calls send nothing ("Version have reported") and return 0.
    int ReportVersionInfo();
    int ReportEncryptType();
    int ReportPictureType();
    int ReportSupportPreRecord();
    int ReportRelayInfo(const MonitorRelayInfo& info);
    // -1, nothing sent, when the code is not a decimal integer.
    int ReportError(const MonitorErrorInfo& info);

private:
    DeviceMonitor() = default;
    ~DeviceMonitor() = default;

    bool report_version_ = false;  // touched only on the cloud receive thread

    static std::atomic<DeviceMonitor*> instance_;
};
