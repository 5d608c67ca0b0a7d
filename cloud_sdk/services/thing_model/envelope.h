// The thing model's JSON envelopes of upstream requests and responses.
#pragma once

#include <string>
#include <string_view>

namespace tessera::thing {

constexpr const char* kEnvelopeVersion = "1.0";

// {"id":"<id>","version":"1.0","params":<params>,"method":"<method>"}; params inserted as they are.
std::string RequestEnvelope(int id, std::string_view params, std::string_view method);
// {"id":"<id>","code":<code>,"data":<data>}; data inserted as it is.
std::string ResponseEnvelope(std::string_view id, int code, std::string_view data);
bool IsJson(std::string_view text);

}  // namespace tessera::thing
