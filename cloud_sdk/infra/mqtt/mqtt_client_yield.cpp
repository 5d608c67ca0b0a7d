// The receive loop: keep-alive, reconnection, reading and handling packets, resending.
#include <algorithm>

#include "infra/mqtt/mqtt_client.h"
#include "infra/mqtt/packets/control_packet.h"
#include "infra/mqtt/packets/packet_id_ack.h"
#include "infra/utils/sdk_log.h"

namespace tessera::mqtt {
namespace {

constexpr const char* kModule = "mqtt";
constexpr uint32_t kPingSendTimeoutMs = 1000;
constexpr int kMaxOutstandingPings = 1;
constexpr uint32_t kIdleSleepMs = 10;
constexpr uint32_t kReconnectPollMs = 100;
// A read holds the transport; short slices let other threads' publishes in between.
constexpr uint32_t kMaxReadSliceMs = 50;

void* PacketIdMessage(uint16_t packet_id) { return reinterpret_cast<void*>(static_cast<uintptr_t>(packet_id)); }

}  // namespace

int MqttClient::Yield(uint32_t timeout_ms) {
    if (yield_thread_.load() == std::this_thread::get_id()) return -1;
    std::lock_guard<std::mutex> lock(yield_mutex_);
    yield_thread_ = std::this_thread::get_id();
    const uint64_t deadline = platform_.NowMs() + timeout_ms;
    do {
        bool busy = RoundOfYield(deadline);
        uint64_t now = platform_.NowMs();
        if (!busy && now < deadline) {
            platform_.SleepMs(static_cast<uint32_t>(std::min<uint64_t>(kIdleSleepMs, deadline - now)));
        }
    } while (platform_.NowMs() < deadline);
    yield_thread_ = std::thread::id();
    return 0;
}

// One round; true when it handled a packet or waited already, so the next round follows at once.
bool MqttClient::RoundOfYield(uint64_t deadline_ms) {
    KeepAlive();
    bool handled = false;
    switch (state()) {
        case ClientState::kReconnecting:
            handled = TryReconnect(deadline_ms);
            break;
        case ClientState::kDisconnected:
            HandleDisconnection();
            break;
        case ClientState::kConnected:
            handled = ReadAndHandle(deadline_ms);
            break;
        case ClientState::kInitialized:
            break;
    }
    ResendAndExpire();
    return handled;
}

void MqttClient::KeepAlive() {
    if (!IsConnected() || platform_.NowMs() < keepalive_deadline_ms_) return;
    keepalive_deadline_ms_ = platform_.NowMs() + params_.keepalive_ms;
    uint8_t packet[kControlPacketSize];
    SerializeControlPacket(PacketType::kPingreq, packet, sizeof(packet));
    if (!Send(packet, sizeof(packet), kPingSendTimeoutMs)) return;
    SDK_DEBUG(kModule, "send MQTT ping...");
    ++outstanding_pings_;
}

bool MqttClient::TryReconnect(uint64_t deadline_ms) {
    uint64_t now = platform_.NowMs();
    if (now < reconnect_deadline_ms_) {
        uint64_t left = deadline_ms > now ? deadline_ms - now : 0;
        uint64_t wait = std::min<uint64_t>({kReconnectPollMs, reconnect_deadline_ms_ - now, left});
        if (wait > 0) platform_.SleepMs(static_cast<uint32_t>(wait));
        return true;
    }
    SDK_INFO(kModule, "start to reconnect");
    int rc = Connect();
    if (rc == 0) {
        backoff_.Reset();
        RaiseEvent(ZENQ_MQTT_EVENT_RECONNECT, nullptr);
        return true;
    }
    uint32_t wait = backoff_.NextWaitAfterFailure([this](uint32_t below) { return platform_.Random(below); });
    reconnect_deadline_ms_ = platform_.NowMs() + wait;
    SDK_ERR(kModule, "mqtt reconnect failed rc = %d", rc);
    SDK_INFO(kModule, "next reconnect in %u ms", wait);
    return true;
}

void MqttClient::HandleDisconnection() {
    SDK_ERR(kModule, "network is disconnected!");
    RaiseEvent(ZENQ_MQTT_EVENT_DISCONNECT, nullptr);
    backoff_.Reset();
    reconnect_deadline_ms_ = platform_.NowMs() + ReconnectBackoff::kInitialIntervalMs;
    {
        std::lock_guard<std::mutex> lock(io_mutex_);
        transport_.reset();
    }
    state_ = ClientState::kReconnecting;
}

uint32_t MqttClient::ReadSliceMs(uint64_t deadline_ms) {
    uint64_t now = platform_.NowMs();
    uint64_t left = deadline_ms > now ? deadline_ms - now : 0;
    // Never wait past the next ping.
    uint64_t to_ping = keepalive_deadline_ms_ > now ? keepalive_deadline_ms_ - now : 0;
    return static_cast<uint32_t>(std::min<uint64_t>({left, to_ping, kMaxReadSliceMs}));
}

bool MqttClient::ReadAndHandle(uint64_t deadline_ms) {
    if (outstanding_pings_ > kMaxOutstandingPings) {
        SDK_ERR(kModule, "keepalive_probes more than %u, disconnected\n", kMaxOutstandingPings);
        MarkDisconnected();
        return false;
    }
    InboundPacket packet;
    ReadStatus status = ReadStatus::kBroken;
    {
        std::lock_guard<std::mutex> lock(io_mutex_);
        if (transport_) {
            ReadLimits limits{params_.read_buf_size, ReadSliceMs(deadline_ms), params_.request_timeout_ms};
            status = ReadPacket(*transport_, limits, &packet);
        }
    }
    switch (status) {
        case ReadStatus::kNothing:
            return false;
        case ReadStatus::kBroken:
            MarkDisconnected();
            return false;
        case ReadStatus::kTooLong:
            outstanding_pings_ = 0;
            SDK_ERR(kModule, "mqtt read buffer is too short, mqttReadBufLen : %zu, remainDataLen : %zu",
                    params_.read_buf_size, packet.header.header_size + packet.header.remaining_length);
            RaiseEvent(ZENQ_MQTT_EVENT_BUFFER_OVERFLOW, nullptr);
            return true;
        case ReadStatus::kPacket:
            break;
    }
    outstanding_pings_ = 0;
    InboundMessage message;
    if (!DecodeInbound(packet.header, packet.body.data(), &message)) {
        // MQTT 3.1.1 section 4.8: a protocol violation closes the connection.
        SDK_ERR(kModule, "malformed packet of type %d, disconnecting", static_cast<int>(packet.header.type));
        MarkDisconnected();
        return false;
    }
    HandleInbound(message);
    return true;
}

void MqttClient::HandleInbound(const InboundMessage& message) {
    switch (message.type) {
        case PacketType::kPublish:
            HandlePublish(message.publish);
            break;
        case PacketType::kPuback:
            if (publish_waitlist_.Remove(message.packet_id)) {
                RaiseEvent(ZENQ_MQTT_EVENT_PUBLISH_SUCCESS, PacketIdMessage(message.packet_id));
            }
            break;
        case PacketType::kSuback:
            HandleSuback(message.suback);
            break;
        case PacketType::kUnsuback:
            HandleUnsuback(message.packet_id);
            break;
        case PacketType::kPingresp:
            SDK_DEBUG(kModule, "receive ping response!");
            break;
        default:
            // QoS 2 flows (PUBREC, PUBREL, PUBCOMP) and a second CONNACK are not expected by this client.
            SDK_WARN(kModule, "unexpected packet of type %d ignored", static_cast<int>(message.type));
            break;
    }
}

void MqttClient::HandlePublish(const PublishPacket& publish) {
    if (publish.qos == ZENQ_MQTT_QOS2) {
        SDK_ERR(kModule, "QoS 2 publish is not supported, dropped");
        return;
    }
    zenq_mqtt_topic_info_t info{};
    info.packet_id = publish.packet_id;
    info.qos = publish.qos;
    info.dup = publish.dup ? 1 : 0;
    info.retain = publish.retain ? 1 : 0;
    info.topic_len = static_cast<uint16_t>(publish.topic.size());
    info.ptopic = publish.topic.data();
    info.payload_len = static_cast<uint32_t>(publish.payload_len);
    info.payload = reinterpret_cast<const char*>(publish.payload);
    zenq_mqtt_event_msg_t event{ZENQ_MQTT_EVENT_PUBLISH_RECEIVED, &info};
    std::optional<Subscription> subscription = subscriptions_.Match(publish.topic);
    if (subscription && subscription->handler != nullptr) {
        subscription->handler(subscription->context, this, &event);
    } else if (params_.event_handler != nullptr) {
        params_.event_handler(params_.event_context, this, &event);
    }
    if (publish.qos == ZENQ_MQTT_QOS1) {
        uint8_t ack[kPacketIdAckSize];
        SerializePacketIdAck(PacketType::kPuback, publish.packet_id, ack, sizeof(ack));
        Send(ack, sizeof(ack), params_.request_timeout_ms);
    }
}

void MqttClient::HandleSuback(const SubackPacket& suback) {
    bool refused = suback.first_return_code == kSubackFailure;
    std::optional<PendingRequest> request = request_waitlist_.Complete(
        suback.packet_id, refused ? RequestOutcome::kRefused : RequestOutcome::kAccepted);
    if (!request) return;
    if (refused) {
        SDK_ERR(kModule, "MQTT SUBSCRIBE failed, ack code is 0x80");
        RaiseEvent(ZENQ_MQTT_EVENT_SUBCRIBE_NACK, PacketIdMessage(suback.packet_id));
        return;
    }
    subscriptions_.SetAcknowledged(request->filter, true);
    RaiseEvent(ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS, PacketIdMessage(suback.packet_id));
}

void MqttClient::HandleUnsuback(uint16_t packet_id) {
    if (request_waitlist_.Complete(packet_id, RequestOutcome::kAccepted)) {
        RaiseEvent(ZENQ_MQTT_EVENT_UNSUBCRIBE_SUCCESS, PacketIdMessage(packet_id));
    }
}

void MqttClient::ResendAndExpire() {
    const uint64_t now = platform_.NowMs();
    if (IsConnected()) {
        for (const std::vector<uint8_t>& packet : publish_waitlist_.TakeDue(now, 2ULL * params_.request_timeout_ms)) {
            if (!Send(packet.data(), packet.size(), params_.request_timeout_ms)) break;
        }
    }
    for (const PendingRequest& request : request_waitlist_.TakeExpired(now, 10ULL * params_.request_timeout_ms)) {
        int event = request.kind == RequestKind::kSubscribe ? ZENQ_MQTT_EVENT_SUBCRIBE_TIMEOUT
                                                            : ZENQ_MQTT_EVENT_UNSUBCRIBE_TIMEOUT;
        RaiseEvent(event, PacketIdMessage(request.packet_id));
    }
}

}  // namespace tessera::mqtt
