// The cloud's firmware announcement: {"message":"success","data":{"version","url","md5","size"}}.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessera {

constexpr size_t kOtaVersionMax = 32;
constexpr size_t kOtaMd5Max = 32;
constexpr size_t kOtaSizeTextMax = 16;

struct OtaAnnouncement {
    std::string version;
    std::string url;
    std::string md5;
    uint64_t size = 0;
};

// True for a well-formed announcement; otherwise logs why it is ignored.
bool ParseOtaAnnouncement(const char* payload, size_t length, OtaAnnouncement* out);

}  // namespace tessera
