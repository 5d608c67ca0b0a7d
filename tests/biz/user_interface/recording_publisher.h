// A publisher that records what the message service would hand to the cloud device SDK, and helpers that
// control the network task queue it is sent from.
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "biz/user_interface/message_service_publisher.h"
#include "common/timer_service.h"

namespace messagingtest {

// One call of the cloud device SDK. For a property post topic is empty, for an event post it is the event.
struct SentMessage {
    std::string call;  // "publish", "property" or "event"
    std::string topic;
    std::string payload;
    int qos = -1;
    int dup = -1;
    int retain = -1;
    int dev_id = -1;
    std::thread::id thread;
};

class RecordingPublisher : public CloudPublisher {
public:
    int Publish(const char* topic, zenq_mqtt_topic_info_t* info) override {
        SentMessage sent;
        sent.call = "publish";
        sent.topic = topic;
        sent.payload.assign(info->payload, info->payload_len);
        sent.qos = info->qos;
        sent.dup = info->dup;
        sent.retain = info->retain;
        Record(sent);
        return publish_result;
    }
    int ReportProperty(int dev_id, const std::string& params) override {
        Record(Call("property", dev_id, "", params));
        return report_result;
    }
    int TriggerEvent(int dev_id, const std::string& event, const std::string& params) override {
        Record(Call("event", dev_id, event, params));
        return report_result;
    }
    int NextReportId() override { return next_report_id_++; }

    std::vector<SentMessage> Sent() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }
    std::vector<std::string> Topics() const {
        std::vector<std::string> topics;
        for (const auto& sent : Sent()) topics.push_back(sent.topic);
        return topics;
    }

    std::atomic<int> publish_result{0};
    std::atomic<int> report_result{0};

private:
    static SentMessage Call(const char* call, int dev_id, const std::string& topic, const std::string& payload) {
        SentMessage sent;
        sent.call = call;
        sent.dev_id = dev_id;
        sent.topic = topic;
        sent.payload = payload;
        return sent;
    }
    void Record(SentMessage sent) {
        sent.thread = std::this_thread::get_id();
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.push_back(sent);
    }

    mutable std::mutex mutex_;
    std::vector<SentMessage> sent_;
    std::atomic<int> next_report_id_{0};
};

// Returns once every task queued so far on the network task queue has run: the queue runs its tasks one
// at a time in order, so a last task that reports back comes after all of them.
inline void DrainNetworkQueue() {
    std::promise<void> done;
    TimerTaskProperty task;
    task.process = [](void* arg) { static_cast<std::promise<void>*>(arg)->set_value(); };
    task.arg = &done;
    if (TimerService::GetNetworkInstance()->AddTask(task, 0) == 0) done.get_future().wait();
}

// Occupies the network queue's thread until Open(), so that tasks queued meanwhile stay queued. Also tells
// which thread the queue runs on.
class NetworkQueueGate {
public:
    NetworkQueueGate() : opened_(open_.get_future().share()) {
        TimerTaskProperty task;
        task.process = Hold;
        task.arg = this;
        TimerService::GetNetworkInstance()->AddTask(task, 0);
        thread_ = entered_.get_future().get();
    }
    ~NetworkQueueGate() { Open(); }
    void Open() {
        if (!is_open_.exchange(true)) open_.set_value();
    }
    std::thread::id queue_thread() const { return thread_; }

private:
    static void Hold(void* arg) {
        NetworkQueueGate* gate = static_cast<NetworkQueueGate*>(arg);
        std::shared_future<void> opened = gate->opened_;
        gate->entered_.set_value(std::this_thread::get_id());
        opened.wait();
    }

    std::promise<void> open_;
    std::shared_future<void> opened_;
    std::promise<std::thread::id> entered_;
    std::atomic<bool> is_open_{false};
    std::thread::id thread_;
};

}  // namespace messagingtest
