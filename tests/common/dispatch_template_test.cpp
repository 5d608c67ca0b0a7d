#include "common/dispatch_template.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What a record owns, freed by the release hook: a use after that release is what AddressSanitizer catches.
struct Payload {
    explicit Payload(int v) : values(64, v) {}
    std::vector<int> values;
};

struct Record {
    int kind = 0;
    int value = 0;
    Payload* payload = nullptr;
};

enum { MATCH_KIND = 0, MATCH_VALUE = 1 };

class RecordHooks : public DispatchTemplateProcess<Record> {
public:
    int equal(const Record& target, const Record& query, int condition) override {
        if (condition == MATCH_KIND) return target.kind == query.kind ? 0 : -1;
        if (condition == MATCH_VALUE) return target.value == query.value ? 0 : -1;
        return -1;
    }
    void assign(Record& target, const Record& source, int condition) override {
        if (condition == MATCH_KIND) target.kind = source.kind;
        if (condition == MATCH_VALUE) target.value = source.value;
    }
    void release(const Record& property) override {
        delete property.payload;
        std::lock_guard<std::mutex> lock(mutex_);
        released_.push_back(property.value);
    }
    void traverse(int id, const Record& property) override { visited_.push_back({id, property.value}); }

    std::vector<int> Released() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return released_;
    }
    std::vector<std::pair<int, int>> visited_;

private:
    mutable std::mutex mutex_;
    std::vector<int> released_;
};

void NoDelay(std::chrono::milliseconds) {}

Record Make(int kind, int value) { return Record{kind, value, new Payload(value)}; }

class DispatchTemplateTest : public testing::Test {
protected:
    int BindNew(int kind, int value) {
        int id = -1;
        EXPECT_EQ(registry_.Bind(Make(kind, value), id), 0);
        return id;
    }

    RecordHooks hooks_;
    DispatchTemplate<Record> registry_{&hooks_, NoDelay};
};

TEST_F(DispatchTemplateTest, IdsStartAtOneAndAreNeverReused) {
    EXPECT_EQ(BindNew(1, 10), 1);
    EXPECT_EQ(BindNew(1, 20), 2);
    EXPECT_EQ(registry_.Unbind(1), 0);
    EXPECT_EQ(BindNew(1, 30), 3);
    registry_.Clear();
    EXPECT_EQ(BindNew(1, 40), 4);
}

TEST_F(DispatchTemplateTest, UnknownIdsAreRefused) {
    const int id = BindNew(1, 10);
    EXPECT_EQ(registry_.Unbind(id + 1), -1);
    EXPECT_EQ(registry_.Update(Record{2, 0, nullptr}, MATCH_KIND, id + 1), -1);
    EXPECT_EQ(registry_.Pop(id + 1), nullptr);
    EXPECT_EQ(registry_.Unbind(id), 0);
    EXPECT_EQ(registry_.Unbind(id), -1);
    EXPECT_EQ(hooks_.Released(), std::vector<int>{10});
}

TEST_F(DispatchTemplateTest, PopReturnsTheStoredRecordWithoutRemovingIt) {
    const int id = BindNew(1, 10);
    std::shared_ptr<Record> first = registry_.Pop(id);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, registry_.Pop(id));
    EXPECT_EQ(first->value, 10);
    ASSERT_EQ(registry_.Update(Record{0, 11, nullptr}, MATCH_VALUE, id), 0);
    EXPECT_EQ(first->value, 11);  // the stored record itself, not a copy
    EXPECT_EQ(first->kind, 1);
}

TEST_F(DispatchTemplateTest, QueryFindsTheLowestMatchingId) {
    BindNew(1, 10);
    BindNew(2, 20);
    BindNew(2, 30);
    const struct {
        Record query;
        int condition;
        int ret;
        int id;
        unsigned int count;
    } cases[] = {
        {{2, 0, nullptr}, MATCH_KIND, 0, 2, 2},
        {{1, 0, nullptr}, MATCH_KIND, 0, 1, 1},
        {{0, 30, nullptr}, MATCH_VALUE, 0, 3, 1},
        {{3, 0, nullptr}, MATCH_KIND, -1, -7, 0},
        {{2, 0, nullptr}, 99, -1, -7, 0},
    };
    for (const auto& c : cases) {
        int id = -7;
        unsigned int count = 99;
        EXPECT_EQ(registry_.Query(c.query, c.condition, id), c.ret);
        EXPECT_EQ(id, c.id);
        registry_.QueryNum(c.query, c.condition, count);
        EXPECT_EQ(count, c.count);
    }
}

TEST_F(DispatchTemplateTest, EmptyRegistryLeavesTheCountAlone) {
    unsigned int count = 5;
    registry_.QueryNum(Record{1, 0, nullptr}, MATCH_KIND, count);
    EXPECT_EQ(count, 5u);
    int id = 8;
    EXPECT_EQ(registry_.Query(Record{1, 0, nullptr}, MATCH_KIND, id), -1);
    EXPECT_EQ(id, 8);
}

TEST_F(DispatchTemplateTest, TraverseAndClearGoInAscendingOrder) {
    BindNew(1, 30);
    BindNew(1, 10);
    BindNew(1, 20);
    registry_.Traverse();
    EXPECT_EQ(hooks_.visited_, (std::vector<std::pair<int, int>>{{1, 30}, {2, 10}, {3, 20}}));
    registry_.Clear();
    EXPECT_EQ(hooks_.Released(), (std::vector<int>{30, 10, 20}));
    EXPECT_EQ(registry_.Pop(1), nullptr);
}

TEST_F(DispatchTemplateTest, DestructionReleasesWhatIsLeft) {
    RecordHooks hooks;
    {
        DispatchTemplate<Record> registry(&hooks, NoDelay);
        int id = 0;
        registry.Bind(Make(1, 1), id);
        registry.Bind(Make(1, 2), id);
    }
    EXPECT_EQ(hooks.Released(), (std::vector<int>{1, 2}));
}

TEST(DispatchTemplateWithoutHooksTest, NothingMatchesAndNothingIsCalled) {
    DispatchTemplate<Record> registry(nullptr, NoDelay);
    int id = 0;
    Record plain{1, 1, nullptr};
    ASSERT_EQ(registry.Bind(plain, id), 0);
    EXPECT_EQ(registry.Update(plain, MATCH_KIND, id), 0);
    int found = -1;
    EXPECT_EQ(registry.Query(plain, MATCH_KIND, found), -1);
    unsigned int count = 3;
    registry.QueryNum(plain, MATCH_KIND, count);
    EXPECT_EQ(count, 0u);
    registry.Traverse();
    EXPECT_EQ(registry.Unbind(id), 0);
}

// A delay that holds Unbind until the test lets it go on.
class Gate {
public:
    void Wait(std::chrono::milliseconds delay) {
        std::unique_lock<std::mutex> lock(mutex_);
        delays_.push_back(delay);
        waiting_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void AwaitWaiter() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::vector<std::chrono::milliseconds> delays_;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool waiting_ = false;
    bool open_ = false;
};

TEST(DispatchTemplateLifetimeTest, UnbindRemovesAtOnceAndReleasesAfterTheDelay) {
    RecordHooks hooks;
    Gate gate;
    DispatchTemplate<Record> registry(&hooks, [&gate](std::chrono::milliseconds d) { gate.Wait(d); });
    int id = 0;
    ASSERT_EQ(registry.Bind(Make(1, 10), id), 0);

    std::thread unbinding([&] { EXPECT_EQ(registry.Unbind(id), 0); });
    gate.AwaitWaiter();
    EXPECT_EQ(registry.Pop(id), nullptr);  // no new user finds it during the delay
    EXPECT_TRUE(hooks.Released().empty());
    gate.Open();
    unbinding.join();
    EXPECT_EQ(hooks.Released(), std::vector<int>{10});
    EXPECT_EQ(gate.delays_, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(50)});
}

TEST(DispatchTemplateLifetimeTest, RecordInUseOutlivesUnbindAndClear) {
    RecordHooks hooks;
    DispatchTemplate<Record> registry(&hooks, NoDelay);
    int first = 0;
    int second = 0;
    registry.Bind(Make(1, 10), first);
    registry.Bind(Make(1, 20), second);
    std::shared_ptr<Record> held_first = registry.Pop(first);
    std::shared_ptr<Record> held_second = registry.Pop(second);

    EXPECT_EQ(registry.Unbind(first), 0);
    registry.Clear();
    EXPECT_TRUE(hooks.Released().empty());
    EXPECT_EQ(held_first->payload->values[0], 10);  // still owned, still valid
    held_first.reset();
    EXPECT_EQ(hooks.Released(), std::vector<int>{10});
    held_second.reset();
    EXPECT_EQ(hooks.Released(), (std::vector<int>{10, 20}));
}

// Releasing a relay service joins its threads, which may be inside a registry call at that moment: the
// registry lock must not be held while a record is released, by Unbind, Clear or destruction alike.
class JoiningHooks : public DispatchTemplateProcess<Record> {
public:
    void release(const Record& property) override {
        std::thread worker([this] { (void)registry->Pop(1); });
        worker.join();
        ++released;
        (void)property;
    }
    DispatchTemplate<Record>* registry = nullptr;
    int released = 0;
};

TEST(DispatchTemplateLifetimeTest, ReleaseMayWaitForThreadsUsingTheRegistry) {
    JoiningHooks hooks;
    {
        DispatchTemplate<Record> registry(&hooks, NoDelay);
        hooks.registry = &registry;
        int id = 0;
        for (int i = 0; i < 4; ++i) registry.Bind(Record{}, id);
        EXPECT_EQ(registry.Unbind(1), 0);
        EXPECT_EQ(hooks.released, 1);
        registry.Clear();
        EXPECT_EQ(hooks.released, 4);
        registry.Bind(Record{}, id);
    }
    EXPECT_EQ(hooks.released, 5);
}

// Frame threads pop and use records while the owner binds and unbinds them: every use must find its
// payload alive, and every record must be released exactly once.
TEST(DispatchTemplateConcurrencyTest, PopsRaceUnbindsSafely) {
    RecordHooks hooks;
    DispatchTemplate<Record> registry(&hooks, NoDelay);
    constexpr int kRecords = 300;
    std::atomic<int> newest{0};
    std::atomic<bool> done{false};
    std::atomic<long> checked{0};
    std::atomic<int> damaged{0};

    auto use_records = [&] {
        while (!done) {
            const int last = newest.load();
            for (int id = last; id > 0 && id > last - 3; --id) {
                std::shared_ptr<Record> record = registry.Pop(id);
                if (record == nullptr) continue;
                long sum = 0;
                for (int v : record->payload->values) sum += v;
                if (sum != 64L * record->value) ++damaged;
                ++checked;
            }
        }
    };
    std::vector<std::thread> users;
    for (int i = 0; i < 3; ++i) users.emplace_back(use_records);

    for (int n = 1; n <= kRecords; ++n) {
        int id = 0;
        ASSERT_EQ(registry.Bind(Make(1, n), id), 0);
        newest = id;
        if (id > 1) {
            ASSERT_EQ(registry.Unbind(id - 1), 0);
        }
    }
    registry.Clear();
    done = true;
    for (std::thread& user : users) user.join();

    EXPECT_EQ(damaged, 0);
    std::vector<int> released = hooks.Released();
    std::sort(released.begin(), released.end());
    ASSERT_EQ(released.size(), static_cast<size_t>(kRecords));
    for (int n = 1; n <= kRecords; ++n) EXPECT_EQ(released[n - 1], n);
}

}  // namespace
