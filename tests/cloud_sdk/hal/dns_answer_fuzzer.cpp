// DNS answers as they would come from a UDP socket.
#include <cstdint>

#include "hal/dns_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint16_t id = size >= 2 ? static_cast<uint16_t>(data[0] << 8 | data[1]) : 0;
    tessera::ParseDnsAnswer(data, size, id);
    return 0;
}
