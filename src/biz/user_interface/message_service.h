// The SDK's one meeting point with the cloud connection. Downstream, cloud messages handed in through
// ov_tessera_adapter reach the service registered for them, on the caller's thread. Upstream, reports,
// events and replies are queued on the network task queue and published from its thread. Payloads are
// JSON texts of the services that produce and consume them; this class reads none of them.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "biz/user_interface/message_service_publisher.h"

typedef int (*MessagePropertyHandler)(const std::string& value, void* arg);
// key: the service name; id: the message id, or the RRPC id for an RRPC call.
typedef int (*MessageServiceHandler)(const std::string& key, const std::string& value, const std::string& id,
                                     void* arg);
// key: the topic suffix, e.g. "/vision/p2p/dev/data/downstream".
typedef int (*MessageOrviaHandler)(const std::string& key, const std::string& value, void* arg);

// One registration; arg is given back to the handler.
template <typename Handler>
struct MessageValue {
    void* arg = nullptr;
    Handler handler = nullptr;
};

enum MqttMessageType {
    MQTT_MESSAGE_TYPE_PROPERTY = 0,
    MQTT_MESSAGE_TYPE_EVENT = 1,
    MQTT_MESSAGE_TYPE_SERVICE = 2,
    MQTT_MESSAGE_TYPE_RRPC = 3,
    MQTT_MESSAGE_TYPE_ORVIA = 4,
    MQTT_MESSAGE_TYPE_MAX = 5,
};

class UpstreamChannel;

class MessageService {
public:
    MessageService(const MessageService&) = delete;
    MessageService& operator=(const MessageService&) = delete;

    // Created on first use; DestroyInstance drops every registration, and messages still queued by this
    // instance are discarded instead of sent.
    static MessageService* GetInstance();
    static void DestroyInstance();

    // Downstream, on the cloud receive thread. Always 0: an unknown name is only logged.
    int TesseraAdapterTslProperty(int dev_id, const std::string& value);
    int TesseraAdapterTslService(int dev_id, const std::string& id, const std::string& key,
                                 const std::string& value);
    int TesseraAdapterOrvia(int dev_id, const std::string& key, const std::string& value);

    // During ov_init only: the maps are read unlocked afterwards. The first registration of a key stays in
    // force; a later one still returns 0. -1 for a null handler.
    int RegisterPropertyHandler(const std::string& key, MessagePropertyHandler handler, void* arg);
    int RegisterServiceHandler(const std::string& key, MessageServiceHandler handler, void* arg);
    int RegisterOrviaHandler(const std::string& key, MessageOrviaHandler handler, void* arg);

    // Upstream, from any thread: 0 once queued (sent later, in the order of the calls), -1 when the
    // network task queue is not running. value must itself be a JSON value.
    int AddProperty(int dev_id, const std::string& value);
    int AddEvent(int dev_id, const std::string& key, const std::string& value);
    // A reply to the service call key with request id id.
    int AddService(int dev_id, const std::string& key, const std::string& value, const std::string& id);
    // A reply to the RRPC call id; key (the service name) is only logged.
    int AddRrpc(int dev_id, const std::string& key, const std::string& value, const std::string& id);
    // A message on the SDK's own channel; key is the topic suffix beginning with "/".
    int AddOrvia(int dev_id, const std::string& key, const std::string& value);

    // Replaces where messages go; only while none is queued (start-up, tests).
    void SetPublisher(std::shared_ptr<CloudPublisher> publisher);

private:
    MessageService();
    ~MessageService();

    int Queue(MqttMessageType type, int dev_id, const std::string& key, const std::string& value, const std::string& id);
    template <typename Handler>
    static int Register(std::map<std::string, MessageValue<Handler>>& map, const char* kind,
                        const std::string& key, Handler handler, void* arg);

    std::map<std::string, MessageValue<MessagePropertyHandler>> property_handler_map_;
    std::map<std::string, MessageValue<MessageServiceHandler>> service_handler_map_;
    std::map<std::string, MessageValue<MessageOrviaHandler>> orvia_handler_map_;
    // Shared with every queued message, which outlives this instance when ov_destroy deletes it first.
    std::shared_ptr<UpstreamChannel> channel_;

    static std::atomic<MessageService*> instance_;
};
