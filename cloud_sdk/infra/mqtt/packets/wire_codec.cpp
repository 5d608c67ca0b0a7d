#include "infra/mqtt/packets/wire_codec.h"

#include <cstring>
#include <limits>

namespace tessera::mqtt {

bool WireWriter::Reserve(size_t size) {
    if (!ok_ || capacity_ - used_ < size) {
        ok_ = false;
        return false;
    }
    return true;
}

void WireWriter::U8(uint8_t value) {
    if (Reserve(1)) buffer_[used_++] = value;
}

void WireWriter::U16(uint16_t value) {
    if (!Reserve(2)) return;
    buffer_[used_++] = static_cast<uint8_t>(value >> 8);
    buffer_[used_++] = static_cast<uint8_t>(value & 0xFF);
}

void WireWriter::Bytes(const void* data, size_t size) {
    if (size == 0 || !Reserve(size)) return;
    std::memcpy(buffer_ + used_, data, size);
    used_ += size;
}

void WireWriter::String(std::string_view text) {
    if (text.size() > std::numeric_limits<uint16_t>::max()) {
        ok_ = false;
        return;
    }
    U16(static_cast<uint16_t>(text.size()));
    Bytes(text.data(), text.size());
}

bool WireReader::Take(size_t size) {
    if (!ok_ || size_ - used_ < size) {
        ok_ = false;
        return false;
    }
    return true;
}

uint8_t WireReader::U8() { return Take(1) ? data_[used_++] : 0; }

uint16_t WireReader::U16() {
    if (!Take(2)) return 0;
    uint16_t value = static_cast<uint16_t>((data_[used_] << 8) | data_[used_ + 1]);
    used_ += 2;
    return value;
}

std::string_view WireReader::String() {
    uint16_t length = U16();
    if (!Take(length)) return {};
    std::string_view text(reinterpret_cast<const char*>(data_ + used_), length);
    used_ += length;
    return text;
}

std::string_view WireReader::Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_ + used_), size_ - used_);
    used_ = size_;
    return rest;
}

}  // namespace tessera::mqtt
