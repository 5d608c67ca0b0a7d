// Connecting and the calls other threads make: publish, subscribe, unsubscribe, disconnect.
#include "infra/mqtt/mqtt_client.h"

#include <algorithm>
#include <vector>

#include "infra/mqtt/packets/connect.h"
#include "infra/mqtt/packets/control_packet.h"
#include "infra/mqtt/packets/publish.h"
#include "infra/mqtt/packets/subscribe.h"
#include "infra/mqtt/topic_rules.h"
#include "infra/utils/sdk_log.h"

namespace tessera::mqtt {
namespace {

constexpr const char* kModule = "mqtt";

}  // namespace

MqttClient::MqttClient(ClientParams params, ClientPlatform& platform)
    : params_(NormalizeParams(std::move(params))), platform_(platform) {}

MqttClient::~MqttClient() { Disconnect(); }

int MqttClient::Connect() {
    std::unique_ptr<Transport> transport = platform_.Connect(params_.endpoint);
    if (!transport) {
        SDK_ERR(kModule, "TCP or TLS Connection failed");
        return -1;
    }
    ConnectPacket connect;
    connect.client_id = params_.client_id;
    connect.username = params_.username;
    connect.password = params_.password;
    connect.keepalive_s = static_cast<uint16_t>(params_.keepalive_ms / 1000);
    connect.clean_session = params_.clean_session;
    std::vector<uint8_t> packet(ConnectPacketSize(connect));
    ConnackPacket connack;
    if (packet.empty() || SerializeConnect(connect, packet.data(), packet.size()) == 0 ||
        transport->Write(packet.data(), packet.size(), params_.request_timeout_ms) != static_cast<int>(packet.size()) ||
        !WaitForConnack(*transport, &connack)) {
        SDK_ERR(kModule, "wait connect ACK timeout, or receive a ACK indicating error!");
        return -1;
    }
    {
        std::lock_guard<std::mutex> lock(io_mutex_);
        transport_ = std::move(transport);
    }
    outstanding_pings_ = 0;
    keepalive_deadline_ms_ = platform_.NowMs() + params_.keepalive_ms;
    state_ = ClientState::kConnected;
    SDK_INFO(kModule, "mqtt connect success!");
    RenewSubscriptions(connack.session_present);
    return 0;
}

bool MqttClient::WaitForConnack(Transport& transport, ConnackPacket* connack) {
    const uint64_t deadline = platform_.NowMs() + params_.request_timeout_ms;
    InboundPacket packet;
    for (uint64_t now = platform_.NowMs(); now < deadline; now = platform_.NowMs()) {
        ReadLimits limits{params_.read_buf_size, static_cast<uint32_t>(deadline - now), params_.request_timeout_ms};
        ReadStatus status = ReadPacket(transport, limits, &packet);
        if (status == ReadStatus::kNothing) continue;
        // MQTT 3.1.1 section 3.2: the first packet from the server is CONNACK.
        if (status != ReadStatus::kPacket) return false;
        InboundMessage message;
        if (!DecodeInbound(packet.header, packet.body.data(), &message) || message.type != PacketType::kConnack) {
            return false;
        }
        *connack = message.connack;
        return connack->return_code == kConnackAccepted;
    }
    return false;
}

void MqttClient::RenewSubscriptions(bool session_present) {
    for (const Subscription& subscription : subscriptions_.ToRenew(session_present)) {
        if (SendSubscribe(subscription, false) < 0) return;
    }
}

int MqttClient::Publish(std::string_view topic, const zenq_mqtt_topic_info_t& message) {
    ClientState current = state();
    if (current != ClientState::kConnected) {
        SDK_ERR(kModule, "mqtt client state is error,state = %d", static_cast<int>(current));
        return -1;
    }
    if (message.qos == ZENQ_MQTT_QOS2) {
        SDK_ERR(kModule, "MQTTPublish return error,MQTT_QOS2 is now not supported.");
        return -1;
    }
    if (message.qos > ZENQ_MQTT_QOS2 || !IsValidPublishTopic(topic)) {
        SDK_ERR(kModule, "topic format is error,topicFilter = %.*s", static_cast<int>(topic.size()), topic.data());
        return -1;
    }
    PublishPacket packet;
    packet.topic = topic;
    packet.qos = message.qos;
    packet.retain = message.retain != 0;
    packet.payload = reinterpret_cast<const uint8_t*>(message.payload);
    packet.payload_len = message.payload == nullptr ? 0 : message.payload_len;
    size_t size = PublishPacketSize(packet);
    if (size == 0 || size > params_.write_buf_size) {
        SDK_ERR(kModule, "MQTTSerialize_publish is error, len=%zu, buf_size_send=%zu, payloadlen=%u", size,
                params_.write_buf_size, message.payload_len);
        return -1;
    }
    if (packet.qos == ZENQ_MQTT_QOS1) packet.packet_id = NextPacketId();
    std::vector<uint8_t> bytes(size);
    SerializePublish(packet, bytes.data(), bytes.size());
    if (packet.qos == ZENQ_MQTT_QOS1 && !publish_waitlist_.Add(packet.packet_id, bytes, platform_.NowMs())) {
        SDK_ERR(kModule, "more than %zu elements in republish list. List overflow!", PublishWaitList::kCapacity);
        return -1;
    }
    if (!Send(bytes.data(), bytes.size(), params_.request_timeout_ms)) {
        // Reported as failed, so it must not be delivered later by a resend either.
        publish_waitlist_.Remove(packet.packet_id);
        return -1;
    }
    return packet.packet_id;
}

int MqttClient::Subscribe(std::string_view filter, uint8_t qos, zenq_mqtt_event_handle_func_fpt handler,
                          void* context) {
    if (!IsValidTopicFilter(filter) || qos > ZENQ_MQTT_QOS2) {
        SDK_ERR(kModule, "topic format is error,topicFilter = %.*s", static_cast<int>(filter.size()), filter.data());
        return -1;
    }
    Subscription subscription{std::string(filter), qos, handler, context, false};
    if (subscriptions_.Add(subscription) == SubscriptionTable::AddResult::kDuplicate) {
        SDK_WARN(kModule, "dup sub,topic = %s", subscription.filter.c_str());
        return 0;
    }
    // While disconnected the table keeps it; the next connection sends it.
    if (!IsConnected()) return 0;
    return SendSubscribe(subscription, false);
}

int MqttClient::SubscribeSync(std::string_view filter, uint8_t qos, zenq_mqtt_event_handle_func_fpt handler,
                              void* context, uint32_t timeout_ms) {
    if (yield_thread_.load() == std::this_thread::get_id()) return -1;  // the SUBACK could never be read
    if (!IsValidTopicFilter(filter) || qos > ZENQ_MQTT_QOS2) {
        SDK_ERR(kModule, "topic format is error,topicFilter = %.*s", static_cast<int>(filter.size()), filter.data());
        return -1;
    }
    Subscription subscription{std::string(filter), qos, handler, context, false};
    if (subscriptions_.Add(subscription) == SubscriptionTable::AddResult::kDuplicate) return 0;
    if (!IsConnected()) return -1;
    int packet_id = SendSubscribe(subscription, true);
    if (packet_id < 0) return -1;
    const uint64_t deadline = platform_.NowMs() + timeout_ms;
    for (uint64_t now = platform_.NowMs(); now < deadline; now = platform_.NowMs()) {
        std::optional<RequestOutcome> outcome = request_waitlist_.TakeOutcome(static_cast<uint16_t>(packet_id));
        if (outcome) return *outcome == RequestOutcome::kAccepted ? 0 : -1;
        Yield(static_cast<uint32_t>(std::min<uint64_t>(deadline - now, 50)));
    }
    request_waitlist_.Forget(static_cast<uint16_t>(packet_id));
    return -1;
}

int MqttClient::SendSubscribe(const Subscription& subscription, bool watched) {
    uint16_t packet_id = NextPacketId();
    std::vector<uint8_t> bytes(SubscribePacketSize(subscription.filter));
    if (bytes.empty() || bytes.size() > params_.write_buf_size) return -1;
    SerializeSubscribe(packet_id, subscription.filter, subscription.qos, bytes.data(), bytes.size());
    request_waitlist_.Add(
        PendingRequest{packet_id, RequestKind::kSubscribe, subscription.filter, platform_.NowMs(), watched});
    if (!Send(bytes.data(), bytes.size(), params_.request_timeout_ms)) {
        request_waitlist_.Forget(packet_id);
        return -1;
    }
    return packet_id;
}

int MqttClient::Unsubscribe(std::string_view filter) {
    ClientState current = state();
    if (current != ClientState::kConnected) {
        SDK_ERR(kModule, "mqtt client state is error,state = %d", static_cast<int>(current));
        return -1;
    }
    if (!IsValidTopicFilter(filter)) {
        SDK_ERR(kModule, "topic format is error,topicFilter = %.*s", static_cast<int>(filter.size()), filter.data());
        return -1;
    }
    subscriptions_.Remove(filter);
    uint16_t packet_id = NextPacketId();
    std::vector<uint8_t> bytes(UnsubscribePacketSize(filter));
    if (bytes.empty() || bytes.size() > params_.write_buf_size) return -1;
    SerializeUnsubscribe(packet_id, filter, bytes.data(), bytes.size());
    request_waitlist_.Add(
        PendingRequest{packet_id, RequestKind::kUnsubscribe, std::string(filter), platform_.NowMs(), false});
    if (!Send(bytes.data(), bytes.size(), params_.request_timeout_ms)) {
        request_waitlist_.Forget(packet_id);
        return -1;
    }
    return packet_id;
}

void MqttClient::Disconnect() {
    std::lock_guard<std::mutex> lock(io_mutex_);
    if (transport_ && state() == ClientState::kConnected) {
        uint8_t packet[kControlPacketSize];
        SerializeControlPacket(PacketType::kDisconnect, packet, sizeof(packet));
        transport_->Write(packet, sizeof(packet), params_.request_timeout_ms);
    }
    transport_.reset();
    state_ = ClientState::kInitialized;
}

bool MqttClient::Send(const uint8_t* bytes, size_t size, uint32_t timeout_ms) {
    bool sent = false;
    {
        std::lock_guard<std::mutex> lock(io_mutex_);
        sent = transport_ && transport_->Write(bytes, size, timeout_ms) == static_cast<int>(size);
    }
    if (!sent) MarkDisconnected();
    return sent;
}

void MqttClient::MarkDisconnected() {
    ClientState expected = ClientState::kConnected;
    state_.compare_exchange_strong(expected, ClientState::kDisconnected);
}

uint16_t MqttClient::NextPacketId() {
    // MQTT 3.1.1 section 2.3.1: ids are non-zero; they count 1..65535 and wrap to 1.
    uint32_t previous = last_packet_id_.load();
    uint32_t next = 0;
    do {
        next = previous >= 65535 ? 1 : previous + 1;
    } while (!last_packet_id_.compare_exchange_weak(previous, next));
    return static_cast<uint16_t>(next);
}

void MqttClient::RaiseEvent(int event_type, void* msg) {
    if (params_.event_handler == nullptr) return;
    zenq_mqtt_event_msg_t event{event_type, msg};
    params_.event_handler(params_.event_context, this, &event);
}

}  // namespace tessera::mqtt
