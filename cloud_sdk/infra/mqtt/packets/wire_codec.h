// Bounds-checked big-endian readers and writers for MQTT's integers and length-prefixed strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessera::mqtt {

// Writes into a caller's buffer; once a write does not fit, the writer stays failed.
class WireWriter {
public:
    WireWriter(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void U8(uint8_t value);
    void U16(uint16_t value);
    void Bytes(const void* data, size_t size);
    // MQTT 3.1.1 section 1.5.3: UTF-8 string with a two-byte length prefix.
    void String(std::string_view text);
    bool ok() const { return ok_; }
    size_t size() const { return used_; }

private:
    bool Reserve(size_t size);
    uint8_t* buffer_;
    size_t capacity_;
    size_t used_ = 0;
    bool ok_ = true;
};

// Reads from a received packet body; once a read runs past the end, the reader stays failed.
class WireReader {
public:
    WireReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t U8();
    uint16_t U16();
    std::string_view String();
    // Everything not read yet.
    std::string_view Rest();
    bool ok() const { return ok_; }
    size_t remaining() const { return size_ - used_; }

private:
    bool Take(size_t size);
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
    bool ok_ = true;
};

// Size on the wire of a length-prefixed string.
constexpr size_t WireStringSize(std::string_view text) { return 2 + text.size(); }

}  // namespace tessera::mqtt
