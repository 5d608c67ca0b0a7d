// A request from the cloud in the thing-model envelope: {"id":"...","version":"...","method":"...","params":...}.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessera::thing {

struct InboundRequest {
    std::string id;
    std::string method;
    std::string params;  // JSON text
};

// nullopt unless the payload is an object with the text members id, version and method and a params.
std::optional<InboundRequest> ParseInboundRequest(std::string_view payload);

}  // namespace tessera::thing
