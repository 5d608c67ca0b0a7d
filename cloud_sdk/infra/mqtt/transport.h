// The byte stream under the MQTT client and the platform services it needs, so tests can fake both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tessera::mqtt {

class Transport {
public:
    virtual ~Transport() = default;
    // Up to len bytes within timeout_ms: the count (> 0), 0 on time-out, negative once the stream is broken.
    virtual int Read(uint8_t* buffer, size_t len, uint32_t timeout_ms) = 0;
    // Writes len bytes within timeout_ms: the count written, negative on failure.
    virtual int Write(const uint8_t* buffer, size_t len, uint32_t timeout_ms) = 0;
};

struct Endpoint {
    std::string host;
    uint16_t port = 0;
    std::string ca_pem;  // trusted root certificate
};

class ClientPlatform {
public:
    virtual ~ClientPlatform() = default;
    virtual uint64_t NowMs() = 0;  // monotonic
    virtual void SleepMs(uint32_t ms) = 0;
    virtual uint32_t Random(uint32_t below) = 0;  // 0 when below is 0
    virtual void SeedRandom(uint32_t seed) = 0;
    // A connected, verified stream, or null.
    virtual std::unique_ptr<Transport> Connect(const Endpoint& endpoint) = 0;
};

// The platform layer's clock, random numbers and TLS connections.
ClientPlatform& HalClientPlatform();

}  // namespace tessera::mqtt
