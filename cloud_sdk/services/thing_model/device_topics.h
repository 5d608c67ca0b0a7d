// The topics of one device: "/sys/<product key>/<device name>/..." and the time and error topics.
#pragma once

#include <string>
#include <string_view>

namespace tessera::thing {

class DeviceTopics {
public:
    DeviceTopics(std::string product_key, std::string device_name);

    const std::string& product_key() const { return product_key_; }
    const std::string& device_name() const { return device_name_; }
    // "/sys/pk/dn/" + suffix.
    std::string Sys(std::string_view suffix) const;
    // "/ext/ntp/pk/dn/" + suffix.
    std::string Ntp(std::string_view suffix) const;
    // "/ext/error/pk/dn".
    std::string Error() const;
    // True when levels 2 and 3 of the topic name this device.
    bool NamesThisDevice(std::string_view topic) const;

private:
    std::string product_key_;
    std::string device_name_;
};

// The text after the n-th "/" of topic (empty when there are fewer).
std::string_view AfterSlash(std::string_view topic, int n);
// The text from the n-th "/" of topic on, that "/" included (empty when there are fewer).
std::string_view FromSlash(std::string_view topic, int n);

}  // namespace tessera::thing
