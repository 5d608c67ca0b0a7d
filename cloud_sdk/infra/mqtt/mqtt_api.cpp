// IOT_MQTT_*: the C interface of the process's one MQTT client. Only checks, translates and forwards.
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "infra/credentials/conn_info.h"
#include "infra/credentials/hal_identity.h"
#include "infra/mqtt/connect_reports.h"
#include "infra/mqtt/process_client.h"
#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"
#include "tessera_mqtt.h"

namespace tessera::mqtt {
namespace {

constexpr const char* kModule = "mqtt";

struct ProcessClientState {
    std::mutex construct_mutex;  // one construction at a time
    std::mutex mutex;            // the fields below
    std::shared_ptr<MqttClient> client;
    std::vector<Subscription> offline;  // made before the client existed
};

ProcessClientState& Process() {
    static ProcessClientState state;
    return state;
}

bool Complete(const zenq_mqtt_init_params_t& params) {
    return params.host != nullptr && params.client_id != nullptr && params.username != nullptr &&
           params.password != nullptr && params.port != 0;
}

std::optional<ClientParams> ParamsFrom(const zenq_mqtt_init_params_t* params) {
    ClientParams out;
    if (params == nullptr) {
        std::optional<ConnInfo> info = ComputeConnInfo();
        if (!info) return std::nullopt;
        out.endpoint = Endpoint{info->host, info->port, HAL_GetCACert()};
        out.client_id = info->client_id;
        out.username = info->username;
        out.password = info->password;
        return out;
    }
    if (!Complete(*params)) {
        SDK_ERR(kModule, "init params is not complete");
        return std::nullopt;
    }
    out.endpoint = Endpoint{params->host, params->port, params->pub_key != nullptr ? params->pub_key : HAL_GetCACert()};
    out.client_id = params->client_id;
    out.username = params->username;
    out.password = params->password;
    out.clean_session = params->clean_session != 0;
    out.request_timeout_ms = params->request_timeout_ms;
    out.keepalive_ms = params->keepalive_interval_ms;
    out.write_buf_size = params->write_buf_size;
    out.read_buf_size = params->read_buf_size;
    out.event_handler = params->handle_event.h_fp;
    out.event_context = params->handle_event.pcontext;
    return out;
}

void SeedRandom(ClientPlatform& platform) {
    uint32_t seed = static_cast<uint32_t>(platform.NowMs() / 1000);
    for (char c : HalDeviceIdentity().device_name) seed += static_cast<unsigned char>(c);
    platform.SeedRandom(seed);
}

void* Construct(zenq_mqtt_init_params_t* params) {
    ProcessClientState& process = Process();
    std::lock_guard<std::mutex> construct_lock(process.construct_mutex);
    if (std::shared_ptr<MqttClient> existing = CurrentClient()) return existing.get();
    std::optional<ClientParams> client_params = ParamsFrom(params);
    if (!client_params) return nullptr;
    ClientPlatform& platform = HalClientPlatform();
    SeedRandom(platform);
    auto client = std::make_shared<MqttClient>(std::move(*client_params), platform);
    if (client->Connect() != 0) return nullptr;
    std::vector<Subscription> offline;
    {
        std::lock_guard<std::mutex> lock(process.mutex);
        process.client = client;
        offline.swap(process.offline);
    }
    for (const Subscription& subscription : offline) {
        client->Subscribe(subscription.filter, subscription.qos, subscription.handler, subscription.context);
    }
    PublishConnectReports(*client);
    return client.get();
}

uint8_t CheckedQos(int qos) {
    if (qos < ZENQ_MQTT_QOS0 || qos > ZENQ_MQTT_QOS2) {
        SDK_WARN(kModule, "Invalid qos(%d) out of [%d, %d], using %d", qos, ZENQ_MQTT_QOS0, ZENQ_MQTT_QOS2,
                 ZENQ_MQTT_QOS0);
        return ZENQ_MQTT_QOS0;
    }
    return static_cast<uint8_t>(qos);
}

int Subscribe(void* handle, const char* filter, int qos, zenq_mqtt_event_handle_func_fpt handler, void* context) {
    if (filter == nullptr) return -1;
    uint8_t checked_qos = CheckedQos(qos);
    ProcessClientState& process = Process();
    {
        std::lock_guard<std::mutex> lock(process.mutex);
        if (!process.client) {
            if (handle != nullptr) return -1;
            process.offline.push_back(Subscription{filter, checked_qos, handler, context, false});
            return 0;
        }
    }
    std::shared_ptr<MqttClient> client = ResolveClient(handle);
    return client ? client->Subscribe(filter, checked_qos, handler, context) : -1;
}

template <typename Call>
int Guarded(Call call) {
    try {
        return call();
    } catch (const std::exception& error) {
        SDK_ERR(kModule, "unexpected failure: %s", error.what());
        return -1;
    }
}

}  // namespace

std::shared_ptr<MqttClient> CurrentClient() {
    std::lock_guard<std::mutex> lock(Process().mutex);
    return Process().client;
}

std::shared_ptr<MqttClient> ResolveClient(void* handle) {
    std::shared_ptr<MqttClient> client = CurrentClient();
    if (!client || (handle != nullptr && handle != client.get())) return nullptr;
    return client;
}

}  // namespace tessera::mqtt

using tessera::mqtt::Guarded;
using tessera::mqtt::MqttClient;
using tessera::mqtt::ResolveClient;

extern "C" void* IOT_MQTT_Construct(zenq_mqtt_init_params_t* params) {
    try {
        return tessera::mqtt::Construct(params);
    } catch (const std::exception&) {
        return nullptr;
    }
}

extern "C" int IOT_MQTT_Destroy(void** handle) {
    if (handle == nullptr) return -1;
    std::shared_ptr<MqttClient> client;
    {
        auto& process = tessera::mqtt::Process();
        std::lock_guard<std::mutex> lock(process.mutex);
        process.offline.clear();  // their contexts belong to the caller that is going away
        if (!process.client || (*handle != nullptr && *handle != process.client.get())) return -1;
        client.swap(process.client);
    }
    client->Disconnect();
    *handle = nullptr;
    return 0;
}

extern "C" int IOT_MQTT_Yield(void* handle, int timeout_ms) {
    return Guarded([&] {
        std::shared_ptr<MqttClient> client = ResolveClient(handle);
        if (!client || timeout_ms < 0) return -1;
        return client->Yield(static_cast<uint32_t>(timeout_ms));
    });
}

extern "C" int IOT_MQTT_CheckStateNormal(void* handle) {
    std::shared_ptr<MqttClient> client = ResolveClient(handle);
    return client && client->IsConnected() ? 1 : 0;
}

extern "C" int IOT_MQTT_Subscribe(void* handle, const char* topic_filter, int qos,
                                  zenq_mqtt_event_handle_func_fpt topic_handle_func, void* pcontext) {
    return Guarded([&] { return tessera::mqtt::Subscribe(handle, topic_filter, qos, topic_handle_func, pcontext); });
}

extern "C" int IOT_MQTT_Unsubscribe(void* handle, const char* topic_filter) {
    return Guarded([&] {
        std::shared_ptr<MqttClient> client = ResolveClient(handle);
        if (!client || topic_filter == nullptr) return -1;
        return client->Unsubscribe(topic_filter);
    });
}

extern "C" int IOT_MQTT_Publish(void* handle, const char* topic, zenq_mqtt_topic_info_t* topic_msg) {
    return Guarded([&] {
        std::shared_ptr<MqttClient> client = ResolveClient(handle);
        if (!client || topic == nullptr || topic_msg == nullptr) return -1;
        return client->Publish(topic, *topic_msg);
    });
}
