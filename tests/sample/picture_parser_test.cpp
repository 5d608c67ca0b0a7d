#include "picture_parser.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "net.h"

namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

struct Delivery {
    std::string picture;
    bool automatic;
    std::string id;
};

class PictureRecorder {
public:
    PictureParser::Handler Handler() {
        return [this](unsigned char* buffer, unsigned int length, const char* id) {
            std::lock_guard<std::mutex> lock(mutex_);
            deliveries_.push_back({std::string(reinterpret_cast<char*>(buffer), length), id == nullptr,
                                   id != nullptr ? id : ""});
            arrived_.notify_all();
        };
    }
    bool WaitFor(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return deliveries_.size() >= count; });
    }
    std::vector<Delivery> Deliveries() {
        std::lock_guard<std::mutex> lock(mutex_);
        return deliveries_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Delivery> deliveries_;
};

TEST(PictureParserTest, IntervalIsAtLeastTenSeconds) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("p.jpg"), "jpeg"));
    PictureRecorder recorder;
    PictureParser picture(recorder.Handler());
    ASSERT_EQ(picture.Start(3, dir.File("p.jpg")), 0);
    EXPECT_EQ(picture.interval(), 10u);
    ASSERT_EQ(picture.Start(25, dir.File("p.jpg")), 0);
    EXPECT_EQ(picture.interval(), 25u);
}

TEST(PictureParserTest, TriggerDeliversThePictureWithItsId) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("p.jpg"), std::string("\xFF\xD8picture", 9)));
    PictureRecorder recorder;
    PictureParser picture(recorder.Handler(), std::chrono::hours(1));
    EXPECT_EQ(picture.Trigger("early"), 0);  // not running: nothing
    ASSERT_EQ(picture.Start(10, dir.File("p.jpg")), 0);
    EXPECT_EQ(picture.Trigger("id-1"), 0);
    picture.Stop();
    EXPECT_EQ(picture.Trigger("late"), 0);
    auto deliveries = recorder.Deliveries();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].picture, std::string("\xFF\xD8picture", 9));
    EXPECT_FALSE(deliveries[0].automatic);
    EXPECT_EQ(deliveries[0].id, "id-1");
}

TEST(PictureParserTest, AutomaticPicturesComeWithoutAnId) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("p.jpg"), "jpeg"));
    PictureRecorder recorder;
    PictureParser picture(recorder.Handler(), std::chrono::milliseconds(2));
    ASSERT_EQ(picture.Start(10, dir.File("p.jpg")), 0);
    ASSERT_TRUE(recorder.WaitFor(2));
    picture.Stop();
    for (const auto& delivery : recorder.Deliveries()) {
        EXPECT_TRUE(delivery.automatic);
        EXPECT_EQ(delivery.picture, "jpeg");
    }
}

TEST(PictureParserTest, RefusesUnreadableAndOversizedFiles) {
    TempDir dir;
    PictureRecorder recorder;
    PictureParser picture(recorder.Handler());
    testing::internal::CaptureStdout();
    EXPECT_EQ(picture.Start(10, dir.File("missing.jpg")), -1);
    ASSERT_TRUE(WriteFile(dir.File("big.jpg"), std::string(70000, 'x')));
    EXPECT_EQ(picture.Start(10, dir.File("big.jpg")), -1);
    ASSERT_TRUE(WriteFile(dir.File("full.jpg"), std::string(PictureParser::kMaxBufferLen, 'x')));
    EXPECT_EQ(picture.Start(10, dir.File("full.jpg")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Open file failed: " + dir.File("missing.jpg") + "\nFile is too large: " + dir.File("big.jpg") + "\n");
}

}  // namespace
