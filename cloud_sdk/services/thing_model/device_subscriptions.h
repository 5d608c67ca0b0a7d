// The topic filters a device subscribes after connecting, in order, with what their messages are.
#pragma once

#include <string>
#include <vector>

#include "services/thing_model/device_topics.h"

namespace tessera::thing {

enum class InboundKind {
    kRawDown,
    kRawReply,
    kPropertySet,
    kServiceCall,
    kSdkChannel,
    kEventPostReply,
    kDeviceInfoReply,
    kDynamicTslReply,
    kRrpcCall,
    kTimeResponse,
    kCloudError,
    kEventNotify,
    kCount,
};

struct SubscriptionRow {
    std::string filter;
    InboundKind kind;
};

std::vector<SubscriptionRow> DeviceSubscriptions(const DeviceTopics& topics);

}  // namespace tessera::thing
