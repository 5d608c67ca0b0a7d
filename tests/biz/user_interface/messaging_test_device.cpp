// A device program for the end-to-end test of the camera SDK's cloud messaging: it joins the cloud device
// SDK and the camera SDK the way a real device program does, handing every cloud message to
// ov_tessera_adapter.
//
//   messaging_test_device --port P --ca CA.pem --product-key PK --device-name DN --device-secret DS
//
// A test handler answers the service "QueryMonthRecord" with an RRPC reply of {"RecordFlags":"01"};
// "Quit" ends the program.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "biz/user_interface/message_service.h"
#include "orvia_ipc.h"
#include "tessera_api.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "test_config.h"

namespace {

std::atomic<bool> g_running{true};

int AnswerMonth(const std::string& key, const std::string&, const std::string& id, void*) {
    return MessageService::GetInstance()->AddRrpc(0, key, "{\"RecordFlags\":\"01\"}", id);
}

int Quit(const std::string&, const std::string&, const std::string&, void*) {
    g_running = false;
    return 0;
}

int OnConnected() { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr); }

int OnService(const int devid, const char* id, const int id_len, const char* service_id, const int service_id_len,
              const char* request, const int request_len, char**, int*) {
    const ov_tessera_adapter_property_s in = {devid, id, id_len, service_id, service_id_len, request, request_len};
    return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &in);
}

int OnOrvia(const int devid, const char* service_id, const int service_id_len, const char* payload,
            const int payload_len) {
    const ov_tessera_adapter_property_s in = {devid, "", 0, service_id, service_id_len, payload, payload_len};
    return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_ORVIA, &in);
}

struct Options {
    uint16_t port = 0;
    std::string ca_path, product_key, device_name, device_secret;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--port") options->port = static_cast<uint16_t>(std::stoi(value));
        else if (name == "--ca") options->ca_path = value;
        else if (name == "--product-key") options->product_key = value;
        else if (name == "--device-name") options->device_name = value;
        else if (name == "--device-secret") options->device_secret = value;
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

bool StartCameraSdk(const Options& options) {
    MessageService::GetInstance()->RegisterServiceHandler("QueryMonthRecord", AnswerMonth, nullptr);
    MessageService::GetInstance()->RegisterServiceHandler("Quit", Quit, nullptr);
    ov_config_s config = testconfig::ValidConfig();
    std::snprintf(config.product_key, sizeof(config.product_key), "%s", options.product_key.c_str());
    std::snprintf(config.device_name, sizeof(config.device_name), "%s", options.device_name.c_str());
    std::snprintf(config.device_secret, sizeof(config.device_secret), "%s", options.device_secret.c_str());
    return ov_init(&config) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options) || !PointAtBroker(options) || !StartCameraSdk(options)) {
        std::fprintf(stderr, "usage: messaging_test_device --port P --ca CA --product-key PK --device-name DN "
                             "--device-secret DS\n");
        return 2;
    }
    zenq_register_for_ITE_CONNECT_SUCC(OnConnected);
    zenq_register_for_ITE_SERVICE_REQUST(OnService);
    zenq_register_for_ITE_ORVIA(OnOrvia);
    zenq_tessera_dev_meta_info_t meta{};
    std::snprintf(meta.product_key, sizeof(meta.product_key), "%s", options.product_key.c_str());
    std::snprintf(meta.device_name, sizeof(meta.device_name), "%s", options.device_name.c_str());
    std::snprintf(meta.device_secret, sizeof(meta.device_secret), "%s", options.device_secret.c_str());
    const int devid = IOT_Tessera_Open(ZENQ_TESSERA_DEV_TYPE_MASTER, &meta);
    if (devid < 0 || IOT_Tessera_Connect(devid) != 0) {
        std::puts("connect failed");
        return 1;
    }
    while (g_running) IOT_Tessera_Yield(10);
    ov_destroy();
    IOT_Tessera_Close(devid);
    std::puts("messaging test device done");
    return 0;
}
