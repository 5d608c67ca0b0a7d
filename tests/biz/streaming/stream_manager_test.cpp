#include "biz/streaming/stream_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "utils/logger.h"

namespace {

using testsupport::LogCapture;

// Stands in for a relay service: the registry only stores the pointer and hands it back for destruction.
struct FakeRelay {
    int frames_taken = 0;
    int checksum = 0x5EED;
};

RelayService* AsRelay(FakeRelay* fake) { return reinterpret_cast<RelayService*>(fake); }
FakeRelay* AsFake(RelayService* relay) { return reinterpret_cast<FakeRelay*>(relay); }

class RecordingDelegate : public StreamManagerDelegate {
public:
    void OnServiceBound(int service_id) override { Note(&bound_, service_id); }
    void OnServiceUnbound(int service_id) override { Note(&unbound_, service_id); }
    void DestroyRelayService(RelayService* relay_service) override {
        std::lock_guard<std::mutex> lock(mutex_);
        destroyed_.push_back(relay_service);
        delete AsFake(relay_service);
    }
    std::vector<int> Bound() const { return Copy(bound_); }
    std::vector<int> Unbound() const { return Copy(unbound_); }
    std::vector<RelayService*> Destroyed() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return destroyed_;
    }

private:
    void Note(std::vector<int>* list, int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        list->push_back(id);
    }
    std::vector<int> Copy(const std::vector<int>& list) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return list;
    }
    mutable std::mutex mutex_;
    std::vector<int> bound_;
    std::vector<int> unbound_;
    std::vector<RelayService*> destroyed_;
};

void NoDelay(std::chrono::milliseconds) {}

class StreamManagerTest : public testing::Test {
protected:
    int BindNew(const StreamManagerProperty& property) {
        int id = -1;
        EXPECT_EQ(manager_.Bind(property, id), 0);
        return id;
    }

    LogCapture log_;
    RecordingDelegate delegate_;
    StreamManager manager_{delegate_, NoDelay};
};

TEST_F(StreamManagerTest, BindAndUnbindAreAnnounced) {
    const int first = BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false});
    const int second = BindNew({STREAM_SERVICE_LIVE, 1, nullptr, false});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(manager_.Unbind(first), 0);
    EXPECT_EQ(BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false}), 3);
    EXPECT_EQ(delegate_.Bound(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(delegate_.Unbound(), std::vector<int>{1});
}

TEST_F(StreamManagerTest, UnknownIdsAreLoggedAndNotAnnounced) {
    const int id = BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false});
    ASSERT_EQ(manager_.Unbind(id), 0);
    log_.Clear();
    EXPECT_EQ(manager_.Unbind(id), -1);
    EXPECT_EQ(manager_.Unbind(id), -1);
    EXPECT_EQ(log_.Count("Unbind failed, id = 1"), 2);
    EXPECT_EQ(manager_.Update({STREAM_SERVICE_LIVE, 0, nullptr, true}, STREAM_SERVICE_CONDITION_RTC_SERVICE, 9), -1);
    EXPECT_TRUE(log_.Has("Update failed, id = 9", LEVEL_ERROR)) << log_.Dump();
    EXPECT_EQ(manager_.Pop(9), nullptr);
    EXPECT_EQ(delegate_.Unbound(), std::vector<int>{1});
}

TEST_F(StreamManagerTest, QueriesByKindStreamIndexAndPeerFlag) {
    BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false});             // 1
    BindNew({STREAM_SERVICE_STORAGE_RECORD, 0, nullptr, false});   // 2
    BindNew({STREAM_SERVICE_LIVE, 1, nullptr, true});              // 3
    BindNew({STREAM_SERVICE_PRE_EVENT_RECORD, 1, nullptr, false}); // 4
    BindNew({STREAM_SERVICE_STORAGE_RECORD, 0, nullptr, false});   // 5
    const struct {
        const char* name;
        StreamManagerProperty query;
        int condition;
        int id;  // -1: no match
        unsigned int count;
    } cases[] = {
        {"live of index 1", {STREAM_SERVICE_LIVE, 1, nullptr, false}, STREAM_SERVICE_CONDITION_STREAM_TYPE, 3, 1},
        {"live of index 0", {STREAM_SERVICE_LIVE, 0, nullptr, false}, STREAM_SERVICE_CONDITION_STREAM_TYPE, 1, 1},
        {"pre-event of index 0", {STREAM_SERVICE_PRE_EVENT_RECORD, 0, nullptr, false},
         STREAM_SERVICE_CONDITION_STREAM_TYPE, -1, 0},
        {"playbacks", {STREAM_SERVICE_STORAGE_RECORD, 7, nullptr, false}, STREAM_SERVICE_CONDITION_SERVICE_TYPE, 2,
         2},
        {"peer flag set", {STREAM_SERVICE_LIVE, 0, nullptr, true}, STREAM_SERVICE_CONDITION_RTC_SERVICE, 3, 1},
        {"peer flag clear, any kind", {STREAM_SERVICE_LIVE, 0, nullptr, false}, STREAM_SERVICE_CONDITION_RTC_SERVICE,
         1, 4},
        {"relay service is no key", {STREAM_SERVICE_LIVE, 0, nullptr, false}, STREAM_SERVICE_CONDITION_RELAY_SERVICE,
         -1, 0},
        {"unknown condition", {STREAM_SERVICE_LIVE, 0, nullptr, false}, 17, -1, 0},
    };
    for (const auto& c : cases) {
        int id = -1;
        unsigned int count = 0;
        EXPECT_EQ(manager_.Query(c.query, c.condition, id), c.id < 0 ? -1 : 0) << c.name;
        EXPECT_EQ(id, c.id) << c.name;
        manager_.QueryNum(c.query, c.condition, count);
        EXPECT_EQ(count, c.count) << c.name;
    }
}

TEST_F(StreamManagerTest, UnsetServiceTypeMatchesNothingAndIsLoggedPerEntry) {
    BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false});
    BindNew({STREAM_SERVICE_LIVE, 1, nullptr, false});
    BindNew({STREAM_SERVICE_ERROR, 0, nullptr, false});
    log_.Clear();
    int id = -1;
    EXPECT_EQ(manager_.Query(StreamManagerProperty{}, STREAM_SERVICE_CONDITION_RTC_SERVICE, id), -1);
    EXPECT_EQ(log_.Count("Service type is the key value, please value it"), 3);
    log_.Clear();
    unsigned int count = 9;
    manager_.QueryNum({STREAM_SERVICE_LIVE, 0, nullptr, false}, STREAM_SERVICE_CONDITION_RTC_SERVICE, count);
    EXPECT_EQ(count, 2u);  // the unset stored record does not count
    EXPECT_EQ(log_.Count("Service type is the key value, please value it"), 1);
}

TEST_F(StreamManagerTest, EmptyRegistryLeavesTheCountAlone) {
    unsigned int count = 0;
    manager_.QueryNum({STREAM_SERVICE_LIVE, 0, nullptr, false}, STREAM_SERVICE_CONDITION_SERVICE_TYPE, count);
    EXPECT_EQ(count, 0u);
}

TEST_F(StreamManagerTest, UpdateChangesOnlyTheNamedField) {
    FakeRelay* relay = new FakeRelay;
    FakeRelay* other = new FakeRelay;
    const int id = BindNew({STREAM_SERVICE_PRE_EVENT_RECORD, 1, AsRelay(relay), false});
    const StreamManagerProperty source{STREAM_SERVICE_LIVE, 0, AsRelay(other), true};
    std::shared_ptr<StreamManagerProperty> record = manager_.Pop(id);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record, manager_.Pop(id));

    ASSERT_EQ(manager_.Update(source, STREAM_SERVICE_CONDITION_RTC_SERVICE, id), 0);
    EXPECT_TRUE(record->rtc_available);
    EXPECT_EQ(record->service_type, STREAM_SERVICE_PRE_EVENT_RECORD);
    EXPECT_EQ(record->stream_type, 1);
    EXPECT_EQ(record->relay_service, AsRelay(relay));

    ASSERT_EQ(manager_.Update(source, STREAM_SERVICE_CONDITION_STREAM_TYPE, id), 0);
    EXPECT_EQ(record->stream_type, 0);
    EXPECT_EQ(record->service_type, STREAM_SERVICE_PRE_EVENT_RECORD);
    ASSERT_EQ(manager_.Update(source, STREAM_SERVICE_CONDITION_SERVICE_TYPE, id), 0);
    EXPECT_EQ(record->service_type, STREAM_SERVICE_LIVE);
    ASSERT_EQ(manager_.Update(source, 42, id), 0);  // names no field
    EXPECT_EQ(record->relay_service, AsRelay(relay));
    delete other;
}

TEST_F(StreamManagerTest, DetachedRelayServiceIsNotDestroyed) {
    FakeRelay* relay = new FakeRelay;
    const int id = BindNew({STREAM_SERVICE_LIVE, 0, AsRelay(relay), true});
    ASSERT_EQ(manager_.Update(StreamManagerProperty{}, STREAM_SERVICE_CONDITION_RELAY_SERVICE, id), 0);
    log_.Clear();
    ASSERT_EQ(manager_.Unbind(id), 0);
    EXPECT_TRUE(log_.Has("Start release, relay service = 0, rtc is available = 1", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_FALSE(log_.Has("Destruct relay service"));
    EXPECT_TRUE(delegate_.Destroyed().empty());
    delete relay;
}

TEST_F(StreamManagerTest, ReleasingARecordDestroysItsRelayService) {
    FakeRelay* relay = new FakeRelay;
    const int id = BindNew({STREAM_SERVICE_LIVE, 0, AsRelay(relay), false});
    ASSERT_EQ(manager_.Unbind(id), 0);
    EXPECT_TRUE(log_.Has("Start release, relay service = 1, rtc is available = 0", LEVEL_DEBUG)) << log_.Dump();
    EXPECT_TRUE(log_.Has("Destruct relay service", LEVEL_DEBUG));
    EXPECT_EQ(delegate_.Destroyed(), std::vector<RelayService*>{AsRelay(relay)});
}

TEST_F(StreamManagerTest, TraverseLogsEveryRecord) {
    BindNew({STREAM_SERVICE_LIVE, 1, nullptr, true});
    FakeRelay* relay = new FakeRelay;
    BindNew({STREAM_SERVICE_STORAGE_RECORD, 0, AsRelay(relay), false});
    log_.Clear();
    manager_.Traverse();
    const std::vector<testsupport::LogRecord> records = log_.Records();
    ASSERT_EQ(records.size(), 2u) << log_.Dump();
    EXPECT_EQ(records[0].message, "id = 1, service_type = 1, stream_type = 1, relay_service = 0, rtc_service = 1");
    EXPECT_EQ(records[1].message, "id = 2, service_type = 2, stream_type = 0, relay_service = 1, rtc_service = 0");
    EXPECT_EQ(records[1].level, LEVEL_DEBUG);
}

TEST_F(StreamManagerTest, ClearReleasesEverythingWithoutAnnouncingUnbinds) {
    FakeRelay* relay = new FakeRelay;
    BindNew({STREAM_SERVICE_LIVE, 0, AsRelay(relay), false});
    BindNew({STREAM_SERVICE_LIVE, 1, nullptr, false});
    manager_.Clear();
    EXPECT_EQ(delegate_.Destroyed(), std::vector<RelayService*>{AsRelay(relay)});
    EXPECT_TRUE(delegate_.Unbound().empty());
    EXPECT_EQ(manager_.Pop(1), nullptr);
    EXPECT_EQ(BindNew({STREAM_SERVICE_LIVE, 0, nullptr, false}), 3);
}

TEST(StreamManagerLifetimeTest, DestructionReleasesWhatIsLeft) {
    RecordingDelegate delegate;
    FakeRelay* relay = new FakeRelay;
    {
        StreamManager manager(delegate, NoDelay);
        int id = 0;
        ASSERT_EQ(manager.Bind({STREAM_SERVICE_LIVE, 0, AsRelay(relay), false}, id), 0);
    }
    EXPECT_EQ(delegate.Destroyed(), std::vector<RelayService*>{AsRelay(relay)});
}

TEST(StreamManagerLifetimeTest, RelayServiceLivesUntilTheLastFrameThreadLetsGo) {
    LogCapture log;
    RecordingDelegate delegate;
    StreamManager manager(delegate);  // the real 50 ms delay
    FakeRelay* relay = new FakeRelay;
    int id = 0;
    ASSERT_EQ(manager.Bind({STREAM_SERVICE_LIVE, 0, AsRelay(relay), false}, id), 0);
    std::shared_ptr<StreamManagerProperty> in_use = manager.Pop(id);

    ASSERT_EQ(manager.Unbind(id), 0);
    EXPECT_EQ(manager.Pop(id), nullptr);
    EXPECT_TRUE(delegate.Destroyed().empty());
    EXPECT_FALSE(log.HasSubstring("Start release"));
    AsFake(in_use->relay_service)->frames_taken++;  // still safe to use
    in_use.reset();
    EXPECT_EQ(delegate.Destroyed(), std::vector<RelayService*>{AsRelay(relay)});
    EXPECT_TRUE(log.Has("Destruct relay service"));
}

// Device threads pop ids and feed "frames" to the relay service while the event thread flips the peer flag
// and unbinds: no relay service may be destroyed while a frame thread still uses it, and each is destroyed
// once.
TEST(StreamManagerConcurrencyTest, FrameThreadsRaceUnbinds) {
    LogCapture log;
    RecordingDelegate delegate;
    StreamManager manager(delegate, NoDelay);
    constexpr int kSessions = 200;
    std::atomic<int> newest{0};
    std::atomic<bool> done{false};
    std::atomic<int> damaged{0};

    auto send_frames = [&] {
        while (!done) {
            const int id = newest.load();
            std::shared_ptr<StreamManagerProperty> record = manager.Pop(id);
            if (record == nullptr) continue;
            RelayService* relay = record->relay_service;
            if (relay != nullptr && AsFake(relay)->checksum != 0x5EED) ++damaged;
            (void)record->rtc_available.load();
        }
    };
    std::vector<std::thread> frame_threads;
    for (int i = 0; i < 3; ++i) frame_threads.emplace_back(send_frames);

    for (int n = 0; n < kSessions; ++n) {
        int id = 0;
        ASSERT_EQ(manager.Bind({STREAM_SERVICE_LIVE, 0, AsRelay(new FakeRelay), false}, id), 0);
        newest = id;
        ASSERT_EQ(manager.Update({STREAM_SERVICE_LIVE, 0, nullptr, true}, STREAM_SERVICE_CONDITION_RTC_SERVICE, id),
                  0);
        if (id > 1) {
            ASSERT_EQ(manager.Unbind(id - 1), 0);
        }
    }
    manager.Clear();
    done = true;
    for (std::thread& t : frame_threads) t.join();

    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(delegate.Destroyed().size(), static_cast<size_t>(kSessions));  // a second delete would trip ASan
}

}  // namespace
