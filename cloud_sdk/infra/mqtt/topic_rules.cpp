#include "infra/mqtt/topic_rules.h"

namespace tessera::mqtt {
namespace {

bool HasValidFrame(std::string_view topic) {
    if (topic.empty() || topic.front() != '/' || topic.size() > kMaxTopicLength) return false;
    for (char c : topic) {
        if (c < 32 || c > 126) return false;
    }
    return true;
}

// Splits off the first level of text; text keeps what follows its "/" (or becomes empty-and-done).
std::string_view NextLevel(std::string_view& text, bool& more) {
    size_t slash = text.find('/');
    std::string_view level = text.substr(0, slash);
    more = slash != std::string_view::npos;
    text = more ? text.substr(slash + 1) : std::string_view();
    return level;
}

}  // namespace

bool IsValidPublishTopic(std::string_view topic) {
    return HasValidFrame(topic) && topic.find_first_of("+#") == std::string_view::npos;
}

bool IsValidTopicFilter(std::string_view filter) {
    if (!HasValidFrame(filter)) return false;
    bool more = true;
    while (more) {
        std::string_view level = NextLevel(filter, more);
        bool wildcard_inside = level.find_first_of("+#") != std::string_view::npos;
        if (wildcard_inside && level != "+" && level != "#") return false;
        if (level == "#" && more) return false;
    }
    return true;
}

bool TopicMatchesFilter(std::string_view topic, std::string_view filter) {
    bool topic_more = true;
    bool filter_more = true;
    while (filter_more) {
        std::string_view filter_level = NextLevel(filter, filter_more);
        if (filter_level == "#") return true;
        if (!topic_more) return false;
        std::string_view topic_level = NextLevel(topic, topic_more);
        if (filter_level != "+" && filter_level != topic_level) return false;
        // "/a/#" also matches "/a": the filter's next level is the final "#".
        if (!topic_more && filter_more && filter == "#") return true;
    }
    return !topic_more;
}

}  // namespace tessera::mqtt
