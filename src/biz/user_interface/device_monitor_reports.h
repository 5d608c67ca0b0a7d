// The texts of the device monitor's reports on the SDK channel. Values are escaped as JSON texts, so an
// error message or URL holding a quote or a backslash still makes a report the cloud can read.
#pragma once

#include <string>
#include <vector>

#include "biz/user_interface/device_monitor.h"

// The build's version components, each followed by "_".
std::string VersionText(const std::vector<std::string>& components);
// {"version":"1.0","method":"IpcVersion","params":{"version":"<version>","pic":"obx"}}
std::string VersionReport(const std::string& version);
// {"version":"1.0","method":"startLiveStreaming","params":{"recvPushTsBaseTime":"...",...}}
std::string RelayInfoReport(const MonitorRelayInfo& info);
// {"version":"1.0","method":"error","params":{"module":"...","code":<code>,"message":"...","data":"..."}}.
// False when the code is not a decimal integer: it goes into the report unquoted, as a JSON number.
bool ErrorReport(const MonitorErrorInfo& info, std::string* report);
