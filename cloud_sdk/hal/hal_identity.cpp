// The device identity, the fixed device texts and the cloud time offset.
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "tessera_hal.h"

namespace {

struct IdentityField {
    std::string value;
    size_t max_length;
};

enum IdentityIndex { kProductKey, kDeviceName, kDeviceSecret, kProductSecret, kIdentityCount };

struct IdentityStore {
    std::mutex mutex;
    IdentityField fields[kIdentityCount] = {
        {"", HAL_PRODUCT_KEY_LEN},
        {"", HAL_DEVICE_NAME_LEN},
        {"", HAL_DEVICE_SECRET_LEN},
        {"", HAL_PRODUCT_SECRET_LEN},
    };
};

IdentityStore& Store() {
    static IdentityStore store;
    return store;
}

int SetField(IdentityIndex index, const char* text) {
    if (text == nullptr) return -1;
    IdentityStore& store = Store();
    size_t length = strnlen(text, store.fields[index].max_length + 1);
    if (length > store.fields[index].max_length) return -1;
    std::lock_guard<std::mutex> lock(store.mutex);
    store.fields[index].value.assign(text, length);
    return static_cast<int>(length);
}

std::string GetField(IdentityIndex index) {
    IdentityStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    return store.fields[index].value;
}

int CopyOut(const std::string& text, char* out) {
    if (out == nullptr) return -1;
    memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

constexpr const char kPartnerId[] = "example.demo.partner-id";
constexpr const char kModuleId[] = "example.demo.module-id";
constexpr const char kFirmwareVersion[] = "app-1.0.0-20180101.1000";
constexpr const char kNetifInfo[] = "WiFi|03ACDEFF0032";
static_assert(sizeof(kFirmwareVersion) <= HAL_FIRMWARE_VERSION_LEN + 1, "firmware version too long");

std::atomic<int64_t> g_utc_offset_ms{0};

int64_t WallClockMs() {
    struct timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
}

}  // namespace

extern "C" {

int HAL_SetProductKey(const char* product_key) { return SetField(kProductKey, product_key); }
int HAL_SetDeviceName(const char* device_name) { return SetField(kDeviceName, device_name); }
int HAL_SetDeviceSecret(const char* device_secret) { return SetField(kDeviceSecret, device_secret); }
int HAL_SetProductSecret(const char* product_secret) { return SetField(kProductSecret, product_secret); }

int HAL_GetProductKey(char* product_key) { return CopyOut(GetField(kProductKey), product_key); }
int HAL_GetDeviceName(char* device_name) { return CopyOut(GetField(kDeviceName), device_name); }
int HAL_GetDeviceSecret(char* device_secret) { return CopyOut(GetField(kDeviceSecret), device_secret); }
int HAL_GetProductSecret(char* product_secret) { return CopyOut(GetField(kProductSecret), product_secret); }

int HAL_GetDeviceID(char* device_id) {
    std::string id = GetField(kProductKey) + "." + GetField(kDeviceName);
    id.resize(std::min<size_t>(id.size(), HAL_DEVICE_ID_LEN));
    return CopyOut(id, device_id);
}

int HAL_GetPartnerID(char* partner_id) { return CopyOut(kPartnerId, partner_id); }
int HAL_GetModuleID(char* module_id) { return CopyOut(kModuleId, module_id); }
int HAL_GetFirmwareVersion(char* version) { return CopyOut(kFirmwareVersion, version); }
int HAL_GetNetifInfo(char* netif_info) { return CopyOut(kNetifInfo, netif_info); }

void HAL_UTC_Set(int64_t cloud_ms) { g_utc_offset_ms.store(cloud_ms - WallClockMs()); }
int64_t HAL_UTC_Get(void) { return WallClockMs() + g_utc_offset_ms.load(); }

}  // extern "C"
