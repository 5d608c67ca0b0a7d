// RTMP 5.2: the plain handshake. C0 names version 3, C1 carries our uptime, four zero bytes and
// random filler; C2 echoes S1. S2 is read but not checked against C1.
#include <sys/times.h>
#include <unistd.h>

#include <random>

#include "rtmp/rtmp_sdk/engine/byte_order.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr int kHandshakeSize = 1536;
constexpr char kPlainVersion = 3;

uint32_t UptimeMs() {
    tms unused{};
    const clock_t ticks = times(&unused);
    const long per_second = sysconf(_SC_CLK_TCK);
    if (per_second <= 0) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(ticks) * 1000 / static_cast<uint64_t>(per_second));
}

void FillC0C1(char* packet) {
    packet[0] = kPlainVersion;
    char* c1 = packet + 1;
    rtmp_wire::WriteBE32(c1, UptimeMs());
    rtmp_wire::WriteBE32(c1 + 4, 0);
    std::random_device seed;
    std::minstd_rand random(seed());
    for (int i = 8; i < kHandshakeSize; ++i) c1[i] = static_cast<char>(random());
}

}  // namespace

int HandShake(RTMP* r) {
    std::vector<char> c0c1(kHandshakeSize + 1);
    FillC0C1(c0c1.data());
    if (WriteN(r, c0c1.data(), kHandshakeSize + 1) < 0) return 0;
    char s0 = 0;
    if (ReadN(r, &s0, 1) != 1) return 0;
    if (s0 != kPlainVersion) {
        RTMP_LOGE("%s, server requested version %d, not the plain handshake", __func__, static_cast<int>(s0));
        return 0;
    }
    std::vector<char> s1(kHandshakeSize);
    if (ReadN(r, s1.data(), kHandshakeSize) != kHandshakeSize) return 0;
    if (WriteN(r, s1.data(), kHandshakeSize) < 0) return 0;  // C2
    std::vector<char> s2(kHandshakeSize);
    return ReadN(r, s2.data(), kHandshakeSize) == kHandshakeSize ? 1 : 0;
}

}  // namespace rtmp_engine
