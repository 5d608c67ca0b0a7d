#include "infra/mqtt/packet_reader.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tessera::mqtt {
namespace {

using testing::Bytes;
using testing::FakePlatform;
using testing::PublishBytes;

class PacketReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        wire_ = platform_.AcceptNextConnect();
        transport_ = platform_.Connect(Endpoint{});
        wire_->inbound.clear();  // drop the CONNACK: these tests feed their own bytes
    }
    ReadStatus Read(size_t buffer_size) {
        return ReadPacket(*transport_, ReadLimits{buffer_size, 10, 100}, &packet_);
    }

    FakePlatform platform_;
    std::shared_ptr<testing::FakeWire> wire_;
    std::unique_ptr<Transport> transport_;
    InboundPacket packet_;
};

TEST_F(PacketReaderTest, AssemblesAPacketFromPieces) {
    Bytes publish = PublishBytes("/a/b", std::string(200, 'x'), 1, 9);
    for (size_t offset = 0; offset < publish.size(); offset += 7) {
        wire_->Send(Bytes(publish.begin() + static_cast<long>(offset),
                          publish.begin() + static_cast<long>(std::min(publish.size(), offset + 7))));
    }
    ASSERT_EQ(Read(1024), ReadStatus::kPacket);
    EXPECT_EQ(packet_.header.type, PacketType::kPublish);
    EXPECT_EQ(packet_.body, Bytes(publish.begin() + 3, publish.end()));
}

TEST_F(PacketReaderTest, NothingWhenNoPacketBegins) { EXPECT_EQ(Read(1024), ReadStatus::kNothing); }

TEST_F(PacketReaderTest, TooLongPacketIsReadToItsEndAndTheNextOneStillArrives) {
    wire_->Send(PublishBytes("/big", std::string(20000, 'b'), 0, 0));
    wire_->Send(PublishBytes("/small", "s", 0, 0));
    ASSERT_EQ(Read(16384), ReadStatus::kTooLong);
    EXPECT_EQ(packet_.header.remaining_length, 2u + 4u + 20000u);
    ASSERT_EQ(Read(16384), ReadStatus::kPacket);
    EXPECT_EQ(packet_.body.size(), 2u + 6u + 1u);
}

TEST_F(PacketReaderTest, BufferBoundIncludesTheFixedHeader) {
    Bytes exact = PublishBytes("/t", std::string(100, 'e'), 0, 0);  // 2 + 4 + 100 bytes
    wire_->Send(exact);
    wire_->Send(exact);
    EXPECT_EQ(Read(exact.size()), ReadStatus::kPacket);
    EXPECT_EQ(Read(exact.size() - 1), ReadStatus::kTooLong);
}

struct BrokenCase {
    const char* name;
    Bytes bytes;
    bool closed;
};

TEST_F(PacketReaderTest, BrokenStreams) {
    const BrokenCase cases[] = {
        {"stall inside the body", {0x30, 0x05, 0x00, 0x01}, false},
        {"stall inside the length", {0x30, 0x80}, false},
        {"five length bytes", {0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, false},
        {"reserved type", {0xF0, 0x00}, false},
        {"closed", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wire_->inbound.clear();
        wire_->closed = c.closed;
        if (!c.bytes.empty()) wire_->Send(c.bytes);
        EXPECT_EQ(Read(1024), ReadStatus::kBroken);
    }
}

}  // namespace
}  // namespace tessera::mqtt
