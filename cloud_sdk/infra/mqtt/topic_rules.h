// Which topics this client publishes to and subscribes with, and MQTT 3.1.1 section 4.7 matching.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessera::mqtt {

constexpr size_t kMaxTopicLength = 128;

// Starts with "/", at most 128 characters, printable ASCII only, no "+" or "#".
bool IsValidPublishTopic(std::string_view topic);
// As a publish topic, except that a level may be exactly "+" or "#", and "#" only as the last level.
bool IsValidTopicFilter(std::string_view filter);
// Section 4.7.1: "+" matches one level, a trailing "#" the parent level and any levels below it.
bool TopicMatchesFilter(std::string_view topic, std::string_view filter);

}  // namespace tessera::mqtt
