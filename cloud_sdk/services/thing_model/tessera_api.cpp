// IOT_Tessera_*: the C interface of the thing-model layer. Only checks, translates and forwards.
#include <exception>
#include <memory>
#include <mutex>

#include "infra/utils/sdk_log.h"
#include "services/thing_model/thing_model.h"
#include "tessera_api.h"
#include "tessera_hal.h"

namespace tessera::thing {
namespace {

constexpr const char* kModule = "dm";
constexpr int kMasterDevid = 0;

// Guards the instance pointer only: calls run on a copy, so a handler may call back into the API.
std::mutex g_layer_mutex;
std::shared_ptr<ThingModel> g_thing_model;

std::shared_ptr<ThingModel> Device(int devid) {
    if (devid != kMasterDevid) return nullptr;
    std::lock_guard<std::mutex> lock(g_layer_mutex);
    return g_thing_model;
}

template <typename Call>
int Guarded(Call call) {
    try {
        return call();
    } catch (const std::exception& error) {
        SDK_ERR(kModule, "unexpected failure: %s", error.what());
        return -1;
    }
}

int Open(int dev_type, const zenq_tessera_dev_meta_info_t* meta) {
    if (dev_type != ZENQ_TESSERA_DEV_TYPE_MASTER || meta == nullptr) {
        SDK_ERR(kModule, "Invalid Parameter");
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_layer_mutex);
    if (g_thing_model) {
        SDK_ERR(kModule, "Master Device Already Open");
        return -1;
    }
    SDK_INFO(kModule, "SDK Version:%s", "V2.3.0_" TESSERA_SDK_BUILD_DATE "_" TESSERA_SDK_COMMIT);
    g_thing_model = std::make_shared<ThingModel>(*meta);
    return kMasterDevid;
}

int Close(int devid) {
    std::shared_ptr<ThingModel> closing;
    {
        std::lock_guard<std::mutex> lock(g_layer_mutex);
        if (devid != kMasterDevid || !g_thing_model || g_thing_model->yielding()) return -1;
        closing.swap(g_thing_model);
    }
    return 0;  // the layer is freed when the last running call has returned
}

bool ValidText(const void* text, int length) {
    if (text != nullptr && length > 0) return true;
    SDK_ERR(kModule, "Invalid Parameter");
    return false;
}

}  // namespace
}  // namespace tessera::thing

using tessera::thing::Device;
using tessera::thing::Guarded;
using tessera::thing::ThingModel;
using tessera::thing::ValidText;

extern "C" int IOT_Tessera_Open(int dev_type, void* meta_info) {
    return Guarded([&] {
        return tessera::thing::Open(dev_type, static_cast<const zenq_tessera_dev_meta_info_t*>(meta_info));
    });
}

extern "C" int IOT_Tessera_Connect(int devid) {
    return Guarded([&] {
        std::shared_ptr<ThingModel> device = Device(devid);
        return device ? device->Connect() : -1;
    });
}

extern "C" void IOT_Tessera_Yield(int timeout_ms) {
    Guarded([&] {
        std::shared_ptr<ThingModel> device = Device(0);
        if (device) {
            device->Yield(timeout_ms);
        } else if (timeout_ms > 0) {
            HAL_SleepMs(static_cast<uint32_t>(timeout_ms));
        }
        return 0;
    });
}

extern "C" int IOT_Tessera_Report(int devid, int msg_type, unsigned char* payload, int payload_len) {
    return Guarded([&] {
        if (!ValidText(payload, payload_len)) return -1;
        std::shared_ptr<ThingModel> device = Device(devid);
        return device ? device->Report(msg_type, std::string_view(reinterpret_cast<const char*>(payload),
                                                                  static_cast<size_t>(payload_len)))
                      : -1;
    });
}

extern "C" int IOT_Tessera_Query(int devid, int msg_type, unsigned char* payload, int payload_len) {
    return Guarded([&] {
        std::shared_ptr<ThingModel> device = Device(devid);
        return device ? device->Query(msg_type, payload, payload_len) : -1;
    });
}

extern "C" int IOT_Tessera_TriggerEvent(int devid, char* eventid, int eventid_len, char* payload, int payload_len) {
    return Guarded([&] {
        if (!ValidText(eventid, eventid_len) || !ValidText(payload, payload_len)) return -1;
        std::shared_ptr<ThingModel> device = Device(devid);
        return device ? device->TriggerEvent(std::string_view(eventid, static_cast<size_t>(eventid_len)),
                                             std::string_view(payload, static_cast<size_t>(payload_len)))
                      : -1;
    });
}

extern "C" int IOT_Tessera_Close(int devid) {
    return Guarded([&] { return tessera::thing::Close(devid); });
}
