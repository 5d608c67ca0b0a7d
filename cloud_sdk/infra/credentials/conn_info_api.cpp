// IOT_SetupConnInfo and IOT_ReleaseConnInfo: the process's connection record for C callers.
#include <cstring>
#include <exception>
#include <mutex>

#include "infra/credentials/conn_info.h"
#include "infra/utils/sdk_log.h"
#include "tessera_conn.h"
#include "tessera_hal.h"

namespace tessera {
namespace {

constexpr const char* kModule = "conn";

std::mutex g_conn_info_mutex;
zenq_conn_info_t g_conn_info;

bool ValidArgument(const char* name, const char* value) {
    if (value == nullptr) {
        SDK_ERR(kModule, "Invalid argument, %s = %p", name, static_cast<const void*>(value));
        return false;
    }
    if (value[0] == '\0') {
        SDK_ERR(kModule, "Invalid argument, %s = '%s'", name, value);
        return false;
    }
    return true;
}

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    std::strncpy(field, text.c_str(), N - 1);
    field[N - 1] = '\0';
}

int StoreIdentity(const char* product_key, const char* device_name, const char* device_secret) {
    if (HAL_SetProductKey(product_key) < 0 || HAL_SetDeviceName(device_name) < 0) return -1;
    if (device_secret != nullptr && device_secret[0] != '\0' && HAL_SetDeviceSecret(device_secret) < 0) return -1;
    return 0;
}

int Setup(const char* product_key, const char* device_name, const char* device_secret, void** info) {
    bool needs_secret = !CurrentOptions().dynamic_register;
    if (!ValidArgument("product_key", product_key) || !ValidArgument("device_name", device_name) ||
        (needs_secret && !ValidArgument("device_secret", device_secret))) {
        return -1;
    }
    if (StoreIdentity(product_key, device_name, device_secret) != 0) return -1;
    std::optional<ConnInfo> computed = ComputeConnInfo();
    if (!computed) return -1;
    std::lock_guard<std::mutex> lock(g_conn_info_mutex);
    g_conn_info = {};
    g_conn_info.port = computed->port;
    CopyText(g_conn_info.host_name, computed->host);
    CopyText(g_conn_info.client_id, computed->client_id);
    CopyText(g_conn_info.username, computed->username);
    CopyText(g_conn_info.password, computed->password);
    g_conn_info.pub_key = HAL_GetCACert();
    if (info != nullptr) *info = &g_conn_info;
    return 0;
}

}  // namespace
}  // namespace tessera

extern "C" int IOT_SetupConnInfo(const char* product_key, const char* device_name, const char* device_secret,
                                 void** info) {
    try {
        return tessera::Setup(product_key, device_name, device_secret, info);
    } catch (const std::exception&) {
        return -1;
    }
}

extern "C" void IOT_ReleaseConnInfo(void) {
    std::lock_guard<std::mutex> lock(tessera::g_conn_info_mutex);
    tessera::g_conn_info = {};
}
