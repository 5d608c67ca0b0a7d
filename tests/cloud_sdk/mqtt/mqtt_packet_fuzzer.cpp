// Feeds arbitrary bytes to the packet reader as a broker's stream would arrive, in pieces of varying
// size, and decodes every packet it returns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "infra/mqtt/packet_reader.h"
#include "infra/mqtt/packets/inbound_message.h"

namespace {

using tessera::mqtt::Transport;

// The first bytes of the input choose the piece sizes; the rest is the stream.
class FuzzTransport : public Transport {
public:
    FuzzTransport(const uint8_t* data, size_t size, uint8_t piece_seed) : data_(data), size_(size), seed_(piece_seed) {}
    int Read(uint8_t* buffer, size_t len, uint32_t) override {
        if (offset_ >= size_) return 0;
        size_t piece = 1 + (seed_ = static_cast<uint8_t>(seed_ * 37 + 11)) % 64;
        size_t n = std::min<size_t>({len, piece, size_ - offset_});
        std::copy(data_ + offset_, data_ + offset_ + n, buffer);
        offset_ += n;
        return static_cast<int>(n);
    }
    int Write(const uint8_t*, size_t len, uint32_t) override { return static_cast<int>(len); }

private:
    const uint8_t* data_;
    size_t size_;
    uint8_t seed_;
    size_t offset_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t buffer_size = 16 + (static_cast<size_t>(data[0]) << 4);  // 16 to 4096 bytes
    FuzzTransport transport(data + 2, size - 2, data[1]);
    tessera::mqtt::ReadLimits limits{buffer_size, 10, 10};
    for (;;) {
        tessera::mqtt::InboundPacket packet;
        tessera::mqtt::ReadStatus status = tessera::mqtt::ReadPacket(transport, limits, &packet);
        if (status == tessera::mqtt::ReadStatus::kBroken || status == tessera::mqtt::ReadStatus::kNothing) break;
        if (status != tessera::mqtt::ReadStatus::kPacket) continue;
        if (packet.header.header_size + packet.body.size() > buffer_size) __builtin_trap();
        tessera::mqtt::InboundMessage message;
        tessera::mqtt::DecodeInbound(packet.header, packet.body.data(), &message);
    }
    return 0;
}
