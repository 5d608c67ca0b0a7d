// The client's view of its connection: time budgets, and reads and writes through the record's operations.
#pragma once

#include <cstdint>

#include "tessera_httpclient.h"

namespace tessera {

// A time budget on the monotonic clock.
class Countdown {
public:
    explicit Countdown(uint32_t ms) { Reset(ms); }
    void Reset(uint32_t ms);
    uint32_t Left() const;

private:
    uint64_t deadline_ms_ = 0;
};

enum class ReadResult { kData, kNothing, kClosed, kBroken };

// One read of at most max bytes within timeout_ms; *got receives the count for kData.
// Logs "%u bytes has been read", "Connection closed." or "Connection error (recv returned %d)".
ReadResult ReadSome(tessera_net_rec* net, char* buffer, uint32_t max, uint32_t timeout_ms, uint32_t* got);

// Gives a record without operations the TLS ones of the platform layer.
void InstallTlsTransport(tessera_net_rec* net);

}  // namespace tessera
