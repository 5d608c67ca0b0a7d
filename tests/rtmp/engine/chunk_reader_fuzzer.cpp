// Arbitrary server bytes after a valid handshake: the set-up loop (which acts on what it reads)
// and then plain chunk reading, through the fake transport.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fake_transport.h"
#include "rtmp/rtmp_sdk/engine/rtmp.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace {

void Silent(int, const char*, int, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RTMP_SetLogCallback(Silent);
    enginetest::FakeTransport transport;
    // The first byte picks how the bytes trickle in, so cache refills fall everywhere.
    if (size == 0) return 0;
    transport.max_read = 1 + data[0] % 64 * 256;
    transport.input = enginetest::FakeTransport::ServerHandshake() +
                      std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    RTMP* r = RTMP_Alloc();
    RTMP_Init(r);
    RTMP_SetTransport(r, &transport);
    RTMP_EnableWrite(r);
    if (RTMP_ConnectOnSocket(r, enginetest::FakeTransport::kFd) && RTMP_ConnectStream(r, 0)) {
        RTMPPacket packet;
        while (RTMP_ReadPacket(r, &packet)) {
        }
        RTMPPacket_Free(&packet);
    }
    RTMP_Close(r);
    RTMP_Free(r);
    return 0;
}
