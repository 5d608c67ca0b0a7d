// The settings of one MQTT client, checked and clamped before it connects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "infra/mqtt/transport.h"
#include "tessera_mqtt.h"

namespace tessera::mqtt {

constexpr uint32_t kDefaultRequestTimeoutMs = 2000;
constexpr uint32_t kDefaultKeepaliveMs = 30000;
constexpr size_t kDefaultBufferSize = 1280;

struct ClientParams {
    Endpoint endpoint;
    std::string client_id;
    std::string username;
    std::string password;
    bool clean_session = false;
    uint32_t request_timeout_ms = kDefaultRequestTimeoutMs;
    uint32_t keepalive_ms = kDefaultKeepaliveMs;
    size_t write_buf_size = kDefaultBufferSize;
    size_t read_buf_size = kDefaultBufferSize;
    zenq_mqtt_event_handle_func_fpt event_handler = nullptr;
    void* event_context = nullptr;
};

// A request time-out outside 500..5000 ms becomes 2000 ms; the keep-alive is clamped to 30..120 s
// (whole seconds) with a log line; zero buffer sizes take the default.
ClientParams NormalizeParams(ClientParams params);

}  // namespace tessera::mqtt
