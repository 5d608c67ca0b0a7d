// One MQTT 3.1.1 connection with keep-alive, QoS 0/1 publishing, subscriptions and reconnection.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "infra/mqtt/client_params.h"
#include "infra/mqtt/packet_reader.h"
#include "infra/mqtt/packets/inbound_message.h"
#include "infra/mqtt/publish_waitlist.h"
#include "infra/mqtt/reconnect_backoff.h"
#include "infra/mqtt/request_waitlist.h"
#include "infra/mqtt/subscription_table.h"
#include "infra/mqtt/transport.h"
#include "tessera_mqtt.h"

namespace tessera::mqtt {

enum class ClientState : int {
    kInitialized = 1,
    kConnected = 2,
    kDisconnected = 3,
    kReconnecting = 4,
};

// Driven by one thread calling Yield; Publish, Subscribe and Unsubscribe may come from any thread.
// Handlers run on the yield thread with no lock of the client held but the yield lock.
class MqttClient {
public:
    MqttClient(ClientParams params, ClientPlatform& platform);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Opens the transport, sends CONNECT and waits for an accepting CONNACK. 0 or -1.
    int Connect();
    // Runs keep-alive, reading, reconnection and resending for timeout_ms. 0, or -1 when called again
    // from inside one of its own handlers.
    int Yield(uint32_t timeout_ms);
    // The packet id for QoS 1, 0 for QoS 0, -1 when refused or not sent.
    int Publish(std::string_view topic, const zenq_mqtt_topic_info_t& message);
    // A packet id when sent, 0 when already subscribed so or kept for the next connection, -1 if refused.
    int Subscribe(std::string_view filter, uint8_t qos, zenq_mqtt_event_handle_func_fpt handler, void* context);
    // Subscribes and yields until the broker grants it or timeout_ms passes. 0 or -1.
    int SubscribeSync(std::string_view filter, uint8_t qos, zenq_mqtt_event_handle_func_fpt handler, void* context,
                      uint32_t timeout_ms);
    // A packet id, or -1.
    int Unsubscribe(std::string_view filter);
    // Sends DISCONNECT when connected and closes the transport.
    void Disconnect();

    bool IsConnected() const { return state() == ClientState::kConnected; }
    ClientState state() const { return state_.load(); }
    size_t waiting_publishes() const { return publish_waitlist_.size(); }

private:
    bool RoundOfYield(uint64_t deadline_ms);
    void KeepAlive();
    bool TryReconnect(uint64_t deadline_ms);
    void HandleDisconnection();
    bool ReadAndHandle(uint64_t deadline_ms);
    void HandleInbound(const InboundMessage& message);
    void HandlePublish(const PublishPacket& publish);
    void HandleSuback(const SubackPacket& suback);
    void HandleUnsuback(uint16_t packet_id);
    void ResendAndExpire();
    void RenewSubscriptions(bool session_present);

    bool WaitForConnack(Transport& transport, ConnackPacket* connack);
    int SendSubscribe(const Subscription& subscription, bool watched);
    bool Send(const uint8_t* bytes, size_t size, uint32_t timeout_ms);
    void MarkDisconnected();
    void RaiseEvent(int event_type, void* msg);
    uint16_t NextPacketId();
    uint32_t ReadSliceMs(uint64_t deadline_ms);

    const ClientParams params_;
    ClientPlatform& platform_;
    std::atomic<ClientState> state_{ClientState::kInitialized};

    std::mutex io_mutex_;  // the transport and every read or write on it
    std::unique_ptr<Transport> transport_;

    std::mutex yield_mutex_;
    std::atomic<std::thread::id> yield_thread_{};

    // Keep-alive and reconnection are touched only under the yield lock (or before the first yield).
    int outstanding_pings_ = 0;
    uint64_t keepalive_deadline_ms_ = 0;
    uint64_t reconnect_deadline_ms_ = 0;
    ReconnectBackoff backoff_;

    std::atomic<uint32_t> last_packet_id_{0};
    PublishWaitList publish_waitlist_;
    RequestWaitList request_waitlist_;
    SubscriptionTable subscriptions_;
};

}  // namespace tessera::mqtt
