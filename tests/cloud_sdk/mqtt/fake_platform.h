// A scripted stream and a fake clock, so the client's timers run without waiting for them.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "infra/mqtt/transport.h"

namespace tessera::mqtt::testing {

using Bytes = std::vector<uint8_t>;

// One connection as the fake server sees it: what the client wrote, and what it will read.
struct FakeWire {
    std::deque<Bytes> inbound;  // each Read returns bytes from the first chunk only
    Bytes written;
    bool closed = false;        // reads fail once inbound is empty
    bool fail_writes = false;

    void Send(const Bytes& bytes) { inbound.push_back(bytes); }
    // Splits what the client wrote into whole packets (fixed header included).
    std::vector<Bytes> WrittenPackets() const;
};

class FakePlatform : public ClientPlatform {
public:
    uint64_t NowMs() override { return now_ms_; }
    void SleepMs(uint32_t ms) override { now_ms_ += ms; }
    uint32_t Random(uint32_t below) override;
    void SeedRandom(uint32_t) override {}
    std::unique_ptr<Transport> Connect(const Endpoint& endpoint) override;

    // The next Connect succeeds with a wire that answers CONNACK (with session_present), or fails.
    std::shared_ptr<FakeWire> AcceptNextConnect(bool session_present = false);
    void RefuseNextConnects(int count) { pending_.insert(pending_.end(), count, nullptr); }

    void Advance(uint64_t ms) { now_ms_ += ms; }
    // Random values are below - 1 (the largest) when true, else 0.
    void set_random_max(bool max) { random_max_ = max; }
    const std::vector<uint64_t>& connect_times() const { return connect_times_; }
    Endpoint last_endpoint;

private:
    friend class FakeTransport;
    uint64_t now_ms_ = 1000000;
    bool random_max_ = false;
    std::deque<std::shared_ptr<FakeWire>> pending_;
    std::vector<uint64_t> connect_times_;
};

Bytes ConnackBytes(bool session_present, uint8_t code);
Bytes PublishBytes(const std::string& topic, const std::string& payload, uint8_t qos, uint16_t packet_id);

}  // namespace tessera::mqtt::testing
