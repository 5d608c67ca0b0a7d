// MQTT 3.1.1 sections 3.8 and 3.10: SUBSCRIBE and UNSUBSCRIBE, one topic filter per packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessera::mqtt {

size_t SubscribePacketSize(std::string_view filter);
size_t UnsubscribePacketSize(std::string_view filter);
// Write the packet and return its size, or 0 when it does not fit the buffer or the filter is empty.
size_t SerializeSubscribe(uint16_t packet_id, std::string_view filter, uint8_t qos, uint8_t* buffer,
                          size_t capacity);
size_t SerializeUnsubscribe(uint16_t packet_id, std::string_view filter, uint8_t* buffer, size_t capacity);

}  // namespace tessera::mqtt
