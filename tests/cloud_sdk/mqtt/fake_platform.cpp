#include "fake_platform.h"

#include <algorithm>

#include "infra/mqtt/packets/fixed_header.h"
#include "infra/mqtt/packets/publish.h"

namespace tessera::mqtt::testing {

class FakeTransport : public Transport {
public:
    FakeTransport(std::shared_ptr<FakeWire> wire, FakePlatform& platform) : wire_(std::move(wire)), platform_(platform) {}

    int Read(uint8_t* buffer, size_t len, uint32_t timeout_ms) override {
        if (wire_->inbound.empty()) {
            if (wire_->closed) return -1;
            platform_.now_ms_ += timeout_ms;  // nothing came within the wait
            return 0;
        }
        Bytes& chunk = wire_->inbound.front();
        size_t n = std::min(len, chunk.size());
        std::copy(chunk.begin(), chunk.begin() + static_cast<long>(n), buffer);
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<long>(n));
        if (chunk.empty()) wire_->inbound.pop_front();
        return static_cast<int>(n);
    }

    int Write(const uint8_t* buffer, size_t len, uint32_t) override {
        if (wire_->fail_writes || wire_->closed) return -1;
        wire_->written.insert(wire_->written.end(), buffer, buffer + len);
        return static_cast<int>(len);
    }

private:
    std::shared_ptr<FakeWire> wire_;
    FakePlatform& platform_;
};

std::vector<Bytes> FakeWire::WrittenPackets() const {
    std::vector<Bytes> packets;
    size_t offset = 0;
    while (offset < written.size()) {
        FixedHeader header{};
        if (DecodeFixedHeader(written.data() + offset, written.size() - offset, &header) != DecodeStatus::kOk) break;
        size_t size = header.header_size + header.remaining_length;
        packets.emplace_back(written.begin() + static_cast<long>(offset),
                             written.begin() + static_cast<long>(offset + size));
        offset += size;
    }
    return packets;
}

uint32_t FakePlatform::Random(uint32_t below) { return below == 0 ? 0 : (random_max_ ? below - 1 : 0); }

std::unique_ptr<Transport> FakePlatform::Connect(const Endpoint& endpoint) {
    last_endpoint = endpoint;
    connect_times_.push_back(now_ms_);
    if (pending_.empty()) return nullptr;
    std::shared_ptr<FakeWire> wire = pending_.front();
    pending_.pop_front();
    if (!wire) return nullptr;
    return std::make_unique<FakeTransport>(wire, *this);
}

std::shared_ptr<FakeWire> FakePlatform::AcceptNextConnect(bool session_present) {
    auto wire = std::make_shared<FakeWire>();
    wire->Send(ConnackBytes(session_present, 0));
    pending_.push_back(wire);
    return wire;
}

Bytes ConnackBytes(bool session_present, uint8_t code) {
    return Bytes{0x20, 0x02, static_cast<uint8_t>(session_present ? 1 : 0), code};
}

Bytes PublishBytes(const std::string& topic, const std::string& payload, uint8_t qos, uint16_t packet_id) {
    PublishPacket packet;
    packet.topic = topic;
    packet.qos = qos;
    packet.packet_id = packet_id;
    packet.payload = reinterpret_cast<const uint8_t*>(payload.data());
    packet.payload_len = payload.size();
    Bytes bytes(PublishPacketSize(packet));
    SerializePublish(packet, bytes.data(), bytes.size());
    return bytes;
}

}  // namespace tessera::mqtt::testing
