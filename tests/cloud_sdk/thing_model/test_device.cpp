// A device program for end-to-end tests: it answers the test cloud through the thing-model API.
//
//   test_device --port P --ca CA.pem --product-key PK --device-name DN --device-secret DS [--max-seconds N]
//
// Connects to localhost:P with the test CA, then answers:
//   service or RRPC "Echo": the request as the response data (code 200); "Fail": {"reason":"refused"} with
//   code 400; "QueryTime": asks for the cloud's time and posts {"utc":"<time>"} when it comes; "TriggerAlarm":
//   posts the request as the event "Alarm"; "Quit": ends the program.
//   property set: the request posted back as a property report.
//   SDK channel ".../downstream" or ".../invoke": the payload published back with QoS 1 on the same topic
//   ending in "upstream" or "invoke_reply".
// Once initialised it posts the property report {"ready":1}.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tessera_api.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_log.h"
#include "tessera_mqtt.h"

namespace {

std::atomic<bool> g_running{true};
std::string g_prefix;  // "/sys/pk/dn"

int PostProperty(const std::string& text) {
    std::string copy = text;
    return IOT_Tessera_Report(0, ITM_MSG_POST_PROPERTY, reinterpret_cast<unsigned char*>(&copy[0]),
                              static_cast<int>(copy.size()));
}

char* CopyForSdk(const std::string& text) {
    auto* copy = static_cast<char*>(HAL_Malloc(static_cast<uint32_t>(text.size() + 1)));
    if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

int OnService(const int, const char* id, const int id_len, const char* service_id, const int service_id_len,
              const char* request, const int, char** response, int* response_len) {
    std::string service(service_id, static_cast<size_t>(service_id_len));
    std::printf("service %s id %.*s request %s\n", service.c_str(), id_len, id, request);
    std::fflush(stdout);
    std::string answer;
    int result = 0;
    if (service == "Echo") {
        answer = request;
    } else if (service == "Fail") {
        answer = "{\"reason\":\"refused\"}";
        result = -1;
    } else if (service == "QueryTime") {
        IOT_Tessera_Query(0, ITM_MSG_QUERY_TIMESTAMP, nullptr, 0);
    } else if (service == "TriggerAlarm") {
        std::string event = "Alarm";
        std::string params = request;
        IOT_Tessera_TriggerEvent(0, &event[0], static_cast<int>(event.size()), &params[0],
                                 static_cast<int>(params.size()));
    } else if (service == "Quit") {
        g_running = false;
    }
    if (!answer.empty()) {
        *response = CopyForSdk(answer);
        *response_len = static_cast<int>(answer.size());
    }
    return result;
}

int OnPropertySet(const int, const char* request, const int) { return PostProperty(request) < 0 ? -1 : 0; }

int OnTimestamp(const char* timestamp) { return PostProperty(std::string("{\"utc\":\"") + timestamp + "\"}") < 0; }

int OnInitialized(const int) { return PostProperty("{\"ready\":1}") < 0 ? -1 : 0; }

int OnOrvia(const int, const char* service_id, const int service_id_len, const char* payload, const int payload_len) {
    std::string topic = g_prefix + std::string(service_id, static_cast<size_t>(service_id_len));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"/downstream", "/upstream"},
                                   std::pair<std::string, std::string>{"/invoke", "/invoke_reply"}}) {
        if (topic.size() > from.size() && topic.compare(topic.size() - from.size(), from.size(), from) == 0) {
            topic.replace(topic.size() - from.size(), from.size(), to);
            break;
        }
    }
    zenq_mqtt_topic_info_t message{};
    message.qos = ZENQ_MQTT_QOS1;
    message.payload = payload;
    message.payload_len = static_cast<uint32_t>(payload_len);
    return IOT_MQTT_Publish(nullptr, topic.c_str(), &message) < 0 ? -1 : 0;
}

int OnConnected() {
    std::puts("Cloud Connected");
    std::fflush(stdout);
    return 0;
}

int OnDisconnected() {
    std::puts("Cloud Disconnected");
    std::fflush(stdout);
    return 0;
}

struct Options {
    uint16_t port = 0;
    std::string ca_path, product_key, device_name, device_secret;
    int max_seconds = 60;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        std::string value = argv[i + 1];
        if (name == "--port") options->port = static_cast<uint16_t>(std::stoi(value));
        else if (name == "--ca") options->ca_path = value;
        else if (name == "--product-key") options->product_key = value;
        else if (name == "--device-name") options->device_name = value;
        else if (name == "--device-secret") options->device_secret = value;
        else if (name == "--max-seconds") options->max_seconds = std::stoi(value);
        else return false;
    }
    return options->port != 0 && !options->ca_path.empty() && !options->product_key.empty();
}

bool PointAtBroker(const Options& options) {
    std::ifstream file(options.ca_path);
    std::stringstream pem;
    pem << file.rdbuf();
    char host[] = "localhost";
    uint16_t port = options.port;
    uint16_t host_is_domain = 1;
    return IOT_Ioctl(IOTX_IOCTL_SET_MQTT_DOMAIN, host) == 0 && IOT_Ioctl(IOTX_IOCTL_SET_MQTT_PORT, &port) == 0 &&
           IOT_Ioctl(IOTX_IOCTL_SET_CUSTOMIZE_INFO, &host_is_domain) == 0 && IOT_SetCACert(pem.str().c_str()) == 0;
}

void RegisterHandlers() {
    zenq_register_for_ITE_CONNECT_SUCC(OnConnected);
    zenq_register_for_ITE_DISCONNECTED(OnDisconnected);
    zenq_register_for_ITE_SERVICE_REQUST(OnService);
    zenq_register_for_ITE_PROPERTY_SET(OnPropertySet);
    zenq_register_for_ITE_TIMESTAMP_REPLY(OnTimestamp);
    zenq_register_for_ITE_INITIALIZE_COMPLETED(OnInitialized);
    zenq_register_for_ITE_ORVIA(OnOrvia);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options) || !PointAtBroker(options)) {
        std::fprintf(stderr, "usage: test_device --port P --ca CA --product-key PK --device-name DN --device-secret DS\n");
        return 2;
    }
    IOT_SetLogLevel(TESSERA_LOG_DEBUG);
    RegisterHandlers();
    g_prefix = "/sys/" + options.product_key + "/" + options.device_name;
    zenq_tessera_dev_meta_info_t meta{};
    std::snprintf(meta.product_key, sizeof(meta.product_key), "%s", options.product_key.c_str());
    std::snprintf(meta.device_name, sizeof(meta.device_name), "%s", options.device_name.c_str());
    std::snprintf(meta.device_secret, sizeof(meta.device_secret), "%s", options.device_secret.c_str());
    int devid = IOT_Tessera_Open(ZENQ_TESSERA_DEV_TYPE_MASTER, &meta);
    if (devid < 0 || IOT_Tessera_Connect(devid) != 0) {
        std::puts("connect failed");
        return 1;
    }
    const uint64_t deadline = HAL_UptimeMs() + static_cast<uint64_t>(options.max_seconds) * 1000;
    while (g_running && HAL_UptimeMs() < deadline) IOT_Tessera_Yield(10);
    IOT_Tessera_Close(devid);
    std::puts("test device done");
    return 0;
}
