// QoS 1 publish round trips per second through a local mosquitto over TLS: our client (publish, then
// yield until its PUBACK) against paho doing the same from Python in the same run, printed as a ratio;
// then the process's resident memory with the client connected.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "broker_fixture.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_log.h"
#include "tessera_mqtt.h"

namespace {

constexpr int kRoundTrips = 2000;
constexpr int kMaxWaitPerAckMs = 5000;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
    }
    return -1;
}

int g_acked = 0;

void OnEvent(void*, void*, zenq_mqtt_event_msg_t* msg) {
    if (msg->event_type == ZENQ_MQTT_EVENT_PUBLISH_SUCCESS) ++g_acked;
}

void* ConnectClient(const tessera::testing::BrokerFixture& fixture) {
    zenq_mqtt_init_params_t params{};
    if (!tessera::testing::FillIdentityParams(fixture.device(), &params)) return nullptr;
    params.request_timeout_ms = 2000;
    params.keepalive_interval_ms = 60000;
    params.write_buf_size = 16384;
    params.read_buf_size = 16384;
    params.handle_event.h_fp = &OnEvent;
    return IOT_MQTT_Construct(&params);
}

// Round trips per second, or a negative value when an acknowledgement did not come.
double OurRoundTrips(void* client) {
    const std::string payload = "{\"id\":\"1\",\"version\":\"1.0\",\"params\":{\"bench\":1},\"method\":\"m\"}";
    zenq_mqtt_topic_info_t message{};
    message.qos = ZENQ_MQTT_QOS1;
    message.payload = payload.c_str();
    message.payload_len = static_cast<uint32_t>(payload.size());
    IOT_MQTT_Yield(client, 200);  // the connect reports' acknowledgements
    g_acked = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        if (IOT_MQTT_Publish(client, "/sys/a1B2/cam01/thing/event/property/post", &message) <= 0) return -1;
        for (int waited = 0; g_acked <= i && waited < kMaxWaitPerAckMs; ++waited) IOT_MQTT_Yield(client, 1);
        if (g_acked <= i) return -1;
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return kRoundTrips / elapsed.count();
}

double PahoRoundTrips(const tessera::testing::BrokerFixture& fixture) {
    std::string script =
        "import sys,time,paho.mqtt.client as m\n"
        "c=m.Client(client_id='bench-paho',protocol=m.MQTTv311)\n"
        "c.tls_set(ca_certs=sys.argv[2]); c.username_pw_set(sys.argv[3],sys.argv[4])\n"
        "c.connect('localhost',int(sys.argv[1])); c.loop_start()\n"
        "p='{\"id\":\"1\",\"version\":\"1.0\",\"params\":{\"bench\":1},\"method\":\"m\"}'\n"
        "n=int(sys.argv[5]); s=time.monotonic()\n"
        "for i in range(n): c.publish('/sys/a1B2/cam01/thing/event/property/post',p,qos=1).wait_for_publish()\n"
        "print(n/(time.monotonic()-s)); c.loop_stop(); c.disconnect()\n";
    std::string command = "/usr/bin/python3 -c \"$BENCH_SCRIPT\" " + std::to_string(fixture.port()) + " '" +
                          fixture.certs().Path("ca.crt") + "' " + tessera::testing::BrokerFixture::kObserverUser +
                          " " + tessera::testing::BrokerFixture::kObserverPassword + " " +
                          std::to_string(kRoundTrips);
    setenv("BENCH_SCRIPT", script.c_str(), 1);
    std::string out = testsupport::CaptureCommand(command);
    return out.empty() ? -1 : std::stod(out);
}

}  // namespace

int main() {
    IOT_SetLogLevel(TESSERA_LOG_ERR);
    long base_kb = ResidentKb();
    tessera::testing::BrokerFixture fixture;
    if (!fixture.Start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    fixture.PointSdkAtBroker();
    void* client = ConnectClient(fixture);
    if (client == nullptr) {
        std::fprintf(stderr, "the client did not connect\n");
        return 1;
    }
    long connected_kb = ResidentKb();
    double ours = OurRoundTrips(client);
    long after_kb = ResidentKb();
    double paho = PahoRoundTrips(fixture);
    IOT_MQTT_Destroy(&client);
    if (ours <= 0 || paho <= 0) {
        std::fprintf(stderr, "a run failed: ours %.1f, paho %.1f\n", ours, paho);
        return 1;
    }
    std::printf("QoS 1 round trips over TLS, %d each\n", kRoundTrips);
    std::printf("  tessera client  %10.1f /s\n", ours);
    std::printf("  paho (python)   %10.1f /s\n", paho);
    std::printf("  ratio           %10.2f (tessera / paho)\n", ours / paho);
    std::printf("resident memory: %ld kB before, %ld kB connected (+%ld), %ld kB after the run\n", base_kb,
                connected_kb, connected_kb - base_kb, after_kb);
    return 0;
}
