// JSON texts of user events: text members escaped by cJSON, the cloud's payload spliced in unchanged.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera::thing {

struct EventMember {
    const char* name;
    std::string text;  // a JSON string value
};

// {"name":"text",...,"devid":devid,"payload":payload}; devid and payload left out when negative / empty.
std::string EventText(const std::vector<EventMember>& members, int devid, std::string_view payload);

}  // namespace tessera::thing
