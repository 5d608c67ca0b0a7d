// Publishing the device's messages: envelopes checked as JSON, logged, sent with QoS 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessera::thing {

// A request with the next message id: that id, or -1.
int SendRequest(const std::string& topic, std::string_view params, std::string_view method);
// A response to the request of id: 0 or -1.
int SendResponse(const std::string& topic, std::string_view id, int code, std::string_view data);
// The payload as it is: 0 (QoS 0), the packet id (QoS 1) or -1.
int SendPayload(const std::string& topic, std::string_view payload, uint8_t qos);

}  // namespace tessera::thing
