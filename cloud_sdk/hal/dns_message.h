// DNS A queries and answers (RFC 1035 4.1) as pure functions over buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessera {

constexpr size_t kDnsMaxAddresses = 3;

// A recursive query for the A records of host; empty when host is not a valid name (RFC 1035 2.3.4).
std::vector<uint8_t> BuildDnsQuery(const std::string& host, uint16_t id);

// The IPv4 addresses (network byte order) of the A records in an answer to the query with this id, at most
// kDnsMaxAddresses; empty for anything else (another id, not a response, an error code, malformed data).
std::vector<uint32_t> ParseDnsAnswer(const uint8_t* data, size_t length, uint16_t id);

}  // namespace tessera
