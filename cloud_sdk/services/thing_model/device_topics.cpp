#include "services/thing_model/device_topics.h"

#include "tessera_hal.h"

namespace tessera::thing {

DeviceTopics::DeviceTopics(std::string product_key, std::string device_name)
    : product_key_(std::move(product_key)), device_name_(std::move(device_name)) {}

std::string DeviceTopics::Sys(std::string_view suffix) const {
    return "/sys/" + product_key_ + "/" + device_name_ + "/" + std::string(suffix);
}

std::string DeviceTopics::Ntp(std::string_view suffix) const {
    return "/ext/ntp/" + product_key_ + "/" + device_name_ + "/" + std::string(suffix);
}

std::string DeviceTopics::Error() const { return "/ext/error/" + product_key_ + "/" + device_name_; }

bool DeviceTopics::NamesThisDevice(std::string_view topic) const {
    std::string_view product_key = AfterSlash(topic, 2);
    product_key = product_key.substr(0, product_key.find('/'));
    std::string_view device_name = AfterSlash(topic, 3);
    device_name = device_name.substr(0, device_name.find('/'));
    return product_key.size() <= HAL_PRODUCT_KEY_LEN && device_name.size() <= HAL_DEVICE_NAME_LEN &&
           product_key == product_key_ && device_name == device_name_;
}

std::string_view FromSlash(std::string_view topic, int n) {
    size_t position = std::string_view::npos;
    for (int i = 0; i < n; ++i) {
        position = topic.find('/', position == std::string_view::npos ? 0 : position + 1);
        if (position == std::string_view::npos) return {};
    }
    return topic.substr(position);
}

std::string_view AfterSlash(std::string_view topic, int n) {
    std::string_view from = FromSlash(topic, n);
    return from.empty() ? from : from.substr(1);
}

}  // namespace tessera::thing
