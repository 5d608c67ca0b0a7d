// Announcement payloads as they arrive on the upgrade topic.
#include "services/ota/ota_announcement.h"
#include "tessera_log.h"

// The SDK's log lines would only slow the search down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    IOT_SetLogLevel(TESSERA_LOG_NONE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessera::OtaAnnouncement announcement;
    tessera::ParseOtaAnnouncement(reinterpret_cast<const char*>(data), size, &announcement);
    return 0;
}
