#include "infra/mqtt/topic_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tessera::mqtt {
namespace {

struct ValidityCase {
    std::string topic;
    bool publish_ok;
    bool filter_ok;
};

TEST(TopicRules, ValidityOfTopicsAndFilters) {
    const ValidityCase cases[] = {
        {"/sys/a1B2/cam01/thing/event/property/post", true, true},
        {"/sys/a/b/vision/+/+/+/invoke", false, true},
        {"/sys/a/b/#", false, true},
        {"/sys/a/b/#/x", false, false},
        {"/sys/a/b+/x", false, false},
        {"/sys/a/b#", false, false},
        {"sys/a/b", false, false},
        {"", false, false},
        {"/", true, true},
        {"/a//b", true, true},
        {"/a/\x7f", false, false},
        {"/a/\tb", false, false},
        {"/" + std::string(127, 'x'), true, true},
        {"/" + std::string(128, 'x'), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.topic);
        EXPECT_EQ(IsValidPublishTopic(c.topic), c.publish_ok);
        EXPECT_EQ(IsValidTopicFilter(c.topic), c.filter_ok);
    }
}

struct MatchCase {
    const char* topic;
    const char* filter;
    bool matches;
};

TEST(TopicRules, WildcardMatching) {
    // MQTT 3.1.1 section 4.7.1.
    const MatchCase cases[] = {
        {"/sys/a/b/thing/service/StartVod", "/sys/a/b/thing/service/+", true},
        {"/sys/a/b/thing/service/property/set", "/sys/a/b/thing/service/+", false},
        {"/sys/a/b/thing/service/property/set", "/sys/a/b/thing/service/property/set", true},
        {"/sys/a/b/vision/p2p/dev/data/downstream", "/sys/a/b/vision/+/+/+/downstream", true},
        {"/sys/a/b/vision/p2p/dev/downstream", "/sys/a/b/vision/+/+/+/downstream", false},
        {"/sys/a/b/rrpc/request/998877", "/sys/a/b/rrpc/request/+", true},
        {"/sys/a/b", "/sys/a/b/#", true},
        {"/sys/a/b/c/d", "/sys/a/b/#", true},
        {"/sys/a/bc", "/sys/a/b/#", false},
        {"/sys/a/b", "/sys/a/b/+", false},
        {"/sys/a/b/", "/sys/a/b/+", true},
        {"/sys/a/b", "#", true},
        {"/sys/a/b", "/sys/a", false},
        {"/sys/a", "/sys/a/b", false},
        {"/x", "/+", true},
        {"/x/y", "/+", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TopicMatchesFilter(c.topic, c.filter), c.matches) << c.topic << " vs " << c.filter;
    }
}

}  // namespace
}  // namespace tessera::mqtt
