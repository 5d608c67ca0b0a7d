// Topics and reply payloads of the upstream messages that the message service publishes itself.
#pragma once

#include <string>

// "/sys/" + product key + "/" + device name + suffix (which begins with "/").
std::string DeviceTopic(const std::string& product_key, const std::string& device_name, const std::string& suffix);
// {"id":"<id>","code":200,"data":<data>}, the id escaped as a JSON text and data inserted as it is. False
// when data is not one JSON value, which would make the whole reply unreadable to the cloud.
bool ReplyPayload(const std::string& id, const std::string& data, std::string* payload);
