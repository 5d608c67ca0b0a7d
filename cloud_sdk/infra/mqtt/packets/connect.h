// MQTT 3.1.1 section 3.1: CONNECT, always protocol level 4 and without a will.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessera::mqtt {

struct ConnectPacket {
    std::string_view client_id;
    std::string_view username;  // empty: no user name flag
    std::string_view password;  // empty: no password flag
    uint16_t keepalive_s = 0;
    bool clean_session = false;
};

// Bytes the packet needs; 0 when a field is too long for MQTT.
size_t ConnectPacketSize(const ConnectPacket& packet);
// Writes the packet and returns its size, or 0 when it does not fit the buffer.
size_t SerializeConnect(const ConnectPacket& packet, uint8_t* buffer, size_t capacity);

}  // namespace tessera::mqtt
