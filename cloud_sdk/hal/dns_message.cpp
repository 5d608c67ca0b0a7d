#include "hal/dns_message.h"

#include <cstring>

namespace tessera {
namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxName = 253;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kFlagResponse = 0x8000;
constexpr uint16_t kFlagRecursionDesired = 0x0100;
constexpr uint16_t kRcodeMask = 0x000f;
constexpr uint8_t kPointerMark = 0xc0;

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Reads forward through a message, failing softly on any overrun.
class Reader {
public:
    Reader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    bool ok() const { return ok_; }
    uint16_t U16() {
        if (!Need(2)) return 0;
        uint16_t value = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return value;
    }
    uint32_t RawU32() {
        if (!Need(4)) return 0;
        uint32_t value;
        memcpy(&value, data_ + pos_, 4);
        pos_ += 4;
        return value;
    }
    void Skip(size_t count) {
        if (Need(count)) pos_ += count;
    }
    // Skips a name: labels ending in a zero byte or a compression pointer (RFC 1035 4.1.4).
    void SkipName() {
        while (Need(1)) {
            uint8_t label = data_[pos_];
            if ((label & kPointerMark) == kPointerMark) return Skip(2);
            if ((label & kPointerMark) != 0) {
                ok_ = false;
                return;
            }
            Skip(1 + label);
            if (label == 0) return;
        }
    }

private:
    bool Need(size_t count) {
        if (ok_ && length_ - pos_ >= count) return true;
        ok_ = false;
        return false;
    }
    const uint8_t* data_;
    size_t length_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool AppendName(std::vector<uint8_t>& out, const std::string& host) {
    if (host.empty() || host.size() > kMaxName) return false;
    size_t start = 0;
    while (start <= host.size()) {
        size_t dot = host.find('.', start);
        size_t end = dot == std::string::npos ? host.size() : dot;
        size_t label = end - start;
        if (label == 0 || label > kMaxLabel) return false;
        out.push_back(static_cast<uint8_t>(label));
        out.insert(out.end(), host.begin() + start, host.begin() + end);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    out.push_back(0);
    return true;
}

}  // namespace

std::vector<uint8_t> BuildDnsQuery(const std::string& host, uint16_t id) {
    std::vector<uint8_t> query;
    PutU16(query, id);
    PutU16(query, kFlagRecursionDesired);
    PutU16(query, 1);  // one question
    PutU16(query, 0);
    PutU16(query, 0);
    PutU16(query, 0);
    if (!AppendName(query, host)) return {};
    PutU16(query, kTypeA);
    PutU16(query, kClassIn);
    return query;
}

std::vector<uint32_t> ParseDnsAnswer(const uint8_t* data, size_t length, uint16_t id) {
    if (data == nullptr || length < kHeaderSize) return {};
    Reader reader(data, length);
    uint16_t got_id = reader.U16();
    uint16_t flags = reader.U16();
    uint16_t questions = reader.U16();
    uint16_t answers = reader.U16();
    reader.Skip(4);  // authority and additional counts
    if (got_id != id || (flags & kFlagResponse) == 0 || (flags & kRcodeMask) != 0) return {};
    for (uint16_t i = 0; i < questions && reader.ok(); ++i) {
        reader.SkipName();
        reader.Skip(4);
    }
    std::vector<uint32_t> addresses;
    for (uint16_t i = 0; i < answers && reader.ok() && addresses.size() < kDnsMaxAddresses; ++i) {
        reader.SkipName();
        uint16_t type = reader.U16();
        uint16_t klass = reader.U16();
        reader.Skip(4);  // TTL
        uint16_t data_length = reader.U16();
        if (type == kTypeA && klass == kClassIn && data_length == 4) {
            uint32_t address = reader.RawU32();
            if (reader.ok()) addresses.push_back(address);
        } else {
            reader.Skip(data_length);
        }
    }
    return addresses;
}

}  // namespace tessera
