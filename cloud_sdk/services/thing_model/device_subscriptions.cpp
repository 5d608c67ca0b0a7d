#include "services/thing_model/device_subscriptions.h"

namespace tessera::thing {

std::vector<SubscriptionRow> DeviceSubscriptions(const DeviceTopics& topics) {
    return {
        {topics.Sys("thing/model/down_raw"), InboundKind::kRawDown},
        {topics.Sys("thing/model/up_raw_reply"), InboundKind::kRawReply},
        {topics.Sys("thing/service/property/set"), InboundKind::kPropertySet},
        {topics.Sys("thing/service/+"), InboundKind::kServiceCall},
        {topics.Sys("vision/+/+/+/downstream"), InboundKind::kSdkChannel},
        {topics.Sys("vision/+/+/+/invoke"), InboundKind::kSdkChannel},
        {topics.Sys("thing/event/+/post_reply"), InboundKind::kEventPostReply},
        {topics.Sys("thing/deviceinfo/update_reply"), InboundKind::kDeviceInfoReply},
        {topics.Sys("thing/deviceinfo/delete_reply"), InboundKind::kDeviceInfoReply},
        {topics.Sys("thing/dynamicTsl/get_reply"), InboundKind::kDynamicTslReply},
        {topics.Sys("rrpc/request/+"), InboundKind::kRrpcCall},
        {topics.Ntp("response"), InboundKind::kTimeResponse},
        {topics.Error(), InboundKind::kCloudError},
        {topics.Sys("_thing/event/notify"), InboundKind::kEventNotify},
    };
}

}  // namespace tessera::thing
