// The downloaded firmware image file.
#include <cstdio>
#include <mutex>
#include <string>

#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

namespace {

struct FirmwareFile {
    std::mutex mutex;
    std::string path = "/tmp/vantroota.bin";
    FILE* file = nullptr;
};

FirmwareFile& Image() {
    static FirmwareFile image;
    return image;
}

}  // namespace

extern "C" int HAL_Firmware_SetPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return -1;
    FirmwareFile& image = Image();
    std::lock_guard<std::mutex> lock(image.mutex);
    image.path = path;
    return 0;
}

extern "C" int HAL_Firmware_Persistence_Start(void) {
    FirmwareFile& image = Image();
    std::lock_guard<std::mutex> lock(image.mutex);
    if (image.file != nullptr) fclose(image.file);
    image.file = fopen(image.path.c_str(), "wb");
    if (image.file == nullptr) {
        SDK_ERR("hal", "open firmware file failed: %s", image.path.c_str());
        return -1;
    }
    return 0;
}

extern "C" int HAL_Firmware_Persistence_Write(const char* buffer, uint32_t len) {
    FirmwareFile& image = Image();
    std::lock_guard<std::mutex> lock(image.mutex);
    if (image.file == nullptr || (len > 0 && buffer == nullptr)) return -1;
    return fwrite(buffer, 1, len, image.file) == len ? 0 : -1;
}

extern "C" int HAL_Firmware_Persistence_Stop(void) {
    FirmwareFile& image = Image();
    std::lock_guard<std::mutex> lock(image.mutex);
    if (image.file == nullptr) return 0;
    int ret = fclose(image.file) == 0 ? 0 : -1;
    image.file = nullptr;
    return ret;
}
