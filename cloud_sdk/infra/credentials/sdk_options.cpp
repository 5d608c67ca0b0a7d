#include "infra/credentials/sdk_options.h"

#include <mutex>

namespace tessera {
namespace {

std::mutex& OptionsMutex() {
    static std::mutex mutex;
    return mutex;
}

SdkOptions& Options() {
    static SdkOptions options;
    return options;
}

}  // namespace

SdkOptions CurrentOptions() {
    std::lock_guard<std::mutex> lock(OptionsMutex());
    return Options();
}

void UpdateOptions(const std::function<void(SdkOptions&)>& change) {
    std::lock_guard<std::mutex> lock(OptionsMutex());
    change(Options());
}

}  // namespace tessera
