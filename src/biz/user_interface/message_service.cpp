#include "biz/user_interface/message_service.h"

#include <mutex>

#include "biz/user_interface/message_service_upstream.h"
#include "utils/logger.h"

std::atomic<MessageService*> MessageService::instance_{nullptr};

namespace {
std::mutex g_instance_mutex;
}

MessageService::MessageService() : channel_(std::make_shared<UpstreamChannel>(MakeTesseraPublisher())) {}

MessageService::~MessageService() { channel_->Close(); }

MessageService* MessageService::GetInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (instance_.load() == nullptr) instance_ = new MessageService();
    return instance_.load();
}

void MessageService::DestroyInstance() {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    MessageService* service = instance_.exchange(nullptr);
    if (service == nullptr) return;
    LOGD("Destroy mqtt service");
    delete service;
}

int MessageService::TesseraAdapterTslProperty(int /*dev_id*/, const std::string& value) {
    LOGD("recycle property, value:%s", value.c_str());
    return 0;
}

int MessageService::TesseraAdapterTslService(int /*dev_id*/, const std::string& id, const std::string& key,
                                             const std::string& value) {
    const auto found = service_handler_map_.find(key);
    if (found == service_handler_map_.end()) {
        LOGD("recycle service, key:%s value:%s id:%s", key.c_str(), value.c_str(), id.c_str());
        return 0;
    }
    LOGV("Dispatch service, key:%s value:%s id:%s", key.c_str(), value.c_str(), id.c_str());
    found->second.handler(key, value, id, found->second.arg);
    return 0;
}

int MessageService::TesseraAdapterOrvia(int dev_id, const std::string& key, const std::string& value) {
    LOGD("Dev id = %d, key = %s, value = %s", dev_id, key.c_str(), value.c_str());
    const auto found = orvia_handler_map_.find(key);
    if (found == orvia_handler_map_.end()) {
        LOGE("recycle orvia, key:%s value:%s", key.c_str(), value.c_str());
        return 0;
    }
    LOGV("Dispatch orvia, key:%s value:%s", key.c_str(), value.c_str());
    found->second.handler(key, value, found->second.arg);
    return 0;
}

template <typename Handler>
int MessageService::Register(std::map<std::string, MessageValue<Handler>>& map, const char* kind,
                             const std::string& key, Handler handler, void* arg) {
    if (handler == nullptr) {
        LOGE("Illegal input");
        return -1;
    }
    MessageValue<Handler> value;
    value.arg = arg;
    value.handler = handler;
    map.emplace(key, value);  // keeps an earlier registration of key
    LOGD("Register %s %s success", kind, key.c_str());
    return 0;
}

int MessageService::RegisterPropertyHandler(const std::string& key, MessagePropertyHandler handler, void* arg) {
    return Register(property_handler_map_, "property", key, handler, arg);
}

int MessageService::RegisterServiceHandler(const std::string& key, MessageServiceHandler handler, void* arg) {
    return Register(service_handler_map_, "service", key, handler, arg);
}

int MessageService::RegisterOrviaHandler(const std::string& key, MessageOrviaHandler handler, void* arg) {
    return Register(orvia_handler_map_, "orvia", key, handler, arg);
}

int MessageService::AddProperty(int dev_id, const std::string& value) {
    LOGD("Add property, value:%s", value.c_str());
    return Queue(MQTT_MESSAGE_TYPE_PROPERTY, dev_id, std::string(), value, std::string());
}

int MessageService::AddEvent(int dev_id, const std::string& key, const std::string& value) {
    LOGD("Add event,key:%s value:%s", key.c_str(), value.c_str());
    return Queue(MQTT_MESSAGE_TYPE_EVENT, dev_id, key, value, std::string());
}

int MessageService::AddService(int dev_id, const std::string& key, const std::string& value, const std::string& id) {
    LOGD("Add service, key:%s value:%s id:%s", key.c_str(), value.c_str(), id.c_str());
    return Queue(MQTT_MESSAGE_TYPE_SERVICE, dev_id, key, value, id);
}

int MessageService::AddRrpc(int dev_id, const std::string& key, const std::string& value, const std::string& id) {
    LOGD("Add rrpc,key:%s value:%s id:%s", key.c_str(), value.c_str(), id.c_str());
    return Queue(MQTT_MESSAGE_TYPE_RRPC, dev_id, key, value, id);
}

int MessageService::AddOrvia(int dev_id, const std::string& key, const std::string& value) {
    return Queue(MQTT_MESSAGE_TYPE_ORVIA, dev_id, key, value, std::string());
}

void MessageService::SetPublisher(std::shared_ptr<CloudPublisher> publisher) {
    channel_->set_publisher(std::move(publisher));
}

int MessageService::Queue(MqttMessageType type, int dev_id, const std::string& key, const std::string& value,
                          const std::string& id) {
    std::unique_ptr<MqttMessage> message(new MqttMessage());
    message->type = type;
    message->channel = channel_;
    message->dev_id = dev_id;
    message->key = key;
    message->value = value;
    message->id = id;
    return QueueUpstream(std::move(message));
}
