// Publishes from several threads while another thread yields: every one is acknowledged exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "broker_fixture.h"
#include "tessera_conn.h"
#include "tessera_hal.h"
#include "tessera_mqtt.h"

namespace tessera {
namespace {

constexpr int kPublishers = 3;
constexpr int kPerPublisher = 40;

std::atomic<int> g_acked{0};

void OnEvent(void*, void*, zenq_mqtt_event_msg_t* msg) {
    if (msg->event_type == ZENQ_MQTT_EVENT_PUBLISH_SUCCESS) ++g_acked;
}

TEST(MqttConcurrency, PublishersOnOtherThreadsWhileOneThreadYields) {
    testing::BrokerFixture fixture;
    ASSERT_TRUE(fixture.Start());
    fixture.PointSdkAtBroker();
    zenq_mqtt_init_params_t params{};
    ASSERT_TRUE(testing::FillIdentityParams(fixture.device(), &params));
    params.keepalive_interval_ms = 60000;
    params.write_buf_size = 4096;
    params.read_buf_size = 4096;
    params.handle_event.h_fp = &OnEvent;
    void* client = IOT_MQTT_Construct(&params);
    ASSERT_NE(client, nullptr);
    IOT_MQTT_Yield(client, 300);  // the connect reports
    g_acked = 0;

    std::atomic<bool> yielding{true};
    std::thread yielder([&] {
        while (yielding) IOT_MQTT_Yield(client, 20);
    });
    std::vector<std::thread> publishers;
    std::atomic<int> sent{0};
    for (int p = 0; p < kPublishers; ++p) {
        publishers.emplace_back([&, p] {
            std::string topic = "/sys/a1B2/cam01/thing/event/p" + std::to_string(p) + "/post";
            zenq_mqtt_topic_info_t message{};
            message.qos = ZENQ_MQTT_QOS1;
            message.payload = "{}";
            message.payload_len = 2;
            for (int i = 0; i < kPerPublisher;) {
                // The waiting list holds 20: a refused publish is tried again once acknowledgements came.
                if (IOT_MQTT_Publish(nullptr, topic.c_str(), &message) > 0) {
                    ++i;
                    ++sent;
                } else {
                    HAL_SleepMs(5);
                }
            }
        });
    }
    for (auto& t : publishers) t.join();
    for (int waited = 0; g_acked < kPublishers * kPerPublisher && waited < 20000; waited += 20) HAL_SleepMs(20);
    yielding = false;
    yielder.join();
    EXPECT_EQ(sent.load(), kPublishers * kPerPublisher);
    EXPECT_EQ(g_acked.load(), kPublishers * kPerPublisher);
    EXPECT_EQ(IOT_MQTT_CheckStateNormal(client), 1);
    EXPECT_EQ(IOT_MQTT_Destroy(&client), 0);
    IOT_SetCACert(nullptr);
}

}  // namespace
}  // namespace tessera
