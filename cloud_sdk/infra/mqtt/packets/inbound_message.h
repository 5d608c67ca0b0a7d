// Every packet a broker may send to this client, decoded from its fixed header and body.
#pragma once

#include <cstdint>

#include "infra/mqtt/packets/connack.h"
#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/packets/publish.h"
#include "infra/mqtt/packets/suback.h"

namespace tessera::mqtt {

struct InboundMessage {
    PacketType type = PacketType::kPingresp;
    ConnackPacket connack;   // kConnack
    PublishPacket publish;   // kPublish; points into the body
    SubackPacket suback;     // kSuback
    uint16_t packet_id = 0;  // kPuback, kUnsuback, kPubrec, kPubrel, kPubcomp
};

// False for a malformed packet or one that a server never sends to a client (MQTT 3.1.1 section 4.8:
// either way the connection is to be closed).
bool DecodeInbound(const FixedHeader& header, const uint8_t* body, InboundMessage* out);

}  // namespace tessera::mqtt
