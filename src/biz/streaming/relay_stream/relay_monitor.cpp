// Failure and timing reports of a relay session to the device monitor.
#include "biz/streaming/relay_stream/relay_service.h"
#include "biz/user_interface/device_monitor.h"
#include "utils/logger.h"
#include "utils/tic.h"

namespace {

struct MonitorEntry {
    RelayService::MonitorNum number;
    const char* code;
    const char* data;
};

constexpr MonitorEntry kMonitorEntries[] = {
    {RelayService::CONNECT_FAILED, "1005", "Connect failed"},
    {RelayService::THREAD_UNAVAILABLE, "1001", "Thread unavailable"},
    {RelayService::CONNECT_LOST, "1010", "Connection lost"},
    {RelayService::SEND_METADATA_FAILED, "1012", "Send metadata failed"},
    {RelayService::SEND_DATA_FAILED, "1011", "Send data failed"},
    {RelayService::DEVICE_CLOSE, "1013", "Device close connection"},
};

}  // namespace

void RelayService::monitor_error(MonitorNum number, const std::string& message) {
    LOGI("%s monitor message: %s", log_info_.c_str(), message.c_str());
    MonitorErrorInfo error{"Relay", "", GetSystemTimeString() + ";" + message, ""};
    for (const MonitorEntry& entry : kMonitorEntries) {
        if (entry.number == number) {
            error.code = entry.code;
            error.data = entry.data;
        }
    }
    DeviceMonitor* monitor = DeviceMonitor::GetInstance();
    monitor->ReportRelayInfo(milestones_.Report(monitor_time_base_));
    monitor->ReportError(error);
}

void RelayService::recordMilestone(std::atomic<uint64_t>& milestone) {
    RelayMilestones::Record(milestone, GetSystemTimeInt());
}
