#include "biz/user_interface/device_dispatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/timer_service.h"
#include "log_capture.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using testconfig::DeviceRecorder;
using testconfig::ValidConfig;

class DeviceDispatchTest : public testing::Test {
protected:
    void SetUp() override {
        DeviceRecorder::Get().Clear();
        DeviceRecorder::Get().callback_sleep_ms = 0;
        ASSERT_EQ(TimerService::GetUserInstance()->Start(), 0);
        logs_.Clear();
    }
    void TearDown() override {
        TimerService::DestroyUserInstance();
        DeviceDispatch::DestroyInstance();
    }
    // Runs every queued call.
    static void Drain() {
        TimerService::DestroyUserInstance();
        TimerService::GetUserInstance()->Start();
    }
    static DeviceDispatch* Dispatch() { return DeviceDispatch::GetInstance(); }
    bool HasErrorLine() const {
        for (const auto& record : logs_.Records()) {
            if (record.level == LEVEL_ERROR) return true;
        }
        return false;
    }

    testsupport::LogCapture logs_;
};

struct ConfigCase {
    const char* name;
    std::function<void(ov_config_s&)> change;
    bool accepted;
};

void Fill(char* field, size_t count) { memset(field, 'k', count); }

TEST_F(DeviceDispatchTest, ConfigurationRules) {
    const ConfigCase cases[] = {
        {"valid", [](ov_config_s&) {}, true},
        {"product key of 20", [](ov_config_s& c) { Fill(c.product_key, 20); }, true},
        {"product key of 21", [](ov_config_s& c) { Fill(c.product_key, 21); }, false},
        {"device name of 32", [](ov_config_s& c) { Fill(c.device_name, 32); }, true},
        {"device name of 33", [](ov_config_s& c) { Fill(c.device_name, 33); }, false},
        {"device secret of 64", [](ov_config_s& c) { Fill(c.device_secret, 64); }, true},
        {"device secret of 65", [](ov_config_s& c) { Fill(c.device_secret, 65); }, false},
        {"empty identity", [](ov_config_s& c) { c.product_key[0] = c.device_name[0] = c.device_secret[0] = 0; }, true},
        {"log level 0", [](ov_config_s& c) { c.log_level = OV_LOG_ERROR; }, true},
        {"log level 4", [](ov_config_s& c) { c.log_level = OV_LOG_VERBOSE; }, true},
        {"log level 5", [](ov_config_s& c) { c.log_level = OV_LOG_MAX; }, false},
        {"log level -1", [](ov_config_s& c) { c.log_level = static_cast<ov_log_level_e>(-1); }, false},
        {"log destination stdout", [](ov_config_s& c) { c.log_dest = OV_LOG_DESTINATION_STDOUT; }, true},
        {"log destination 3", [](ov_config_s& c) { c.log_dest = OV_LOG_DESTINATION_MAX; }, false},
        {"log destination -1", [](ov_config_s& c) { c.log_dest = static_cast<ov_log_destination>(-1); }, false},
        {"user sink without log_cb", [](ov_config_s& c) { c.log_dest = OV_LOG_DESTINATION_USER_DEFINE; }, false},
        {"log_cb without user sink", [](ov_config_s& c) { c.log_cb = nullptr; }, true},
        {"no start_push_streaming_cb", [](ov_config_s& c) { c.start_push_streaming_cb = nullptr; }, false},
        {"no stop_push_streaming_cb", [](ov_config_s& c) { c.stop_push_streaming_cb = nullptr; }, false},
        {"no on_push_streaming_cmd_cb", [](ov_config_s& c) { c.on_push_streaming_cmd_cb = nullptr; }, false},
        {"no start_voice_intercom_cb", [](ov_config_s& c) { c.start_voice_intercom_cb = nullptr; }, false},
        {"no stop_voice_intercom_cb", [](ov_config_s& c) { c.stop_voice_intercom_cb = nullptr; }, false},
        {"no voice_intercom_receive_metadata_cb",
         [](ov_config_s& c) { c.voice_intercom_receive_metadata_cb = nullptr; }, false},
        {"no voice_intercom_receive_data_cb", [](ov_config_s& c) { c.voice_intercom_receive_data_cb = nullptr; },
         false},
        {"no query_storage_record_cb", [](ov_config_s& c) { c.query_storage_record_cb = nullptr; }, false},
        {"no query_storage_record_by_month_cb", [](ov_config_s& c) { c.query_storage_record_by_month_cb = nullptr; },
         false},
        {"no trigger_pic_capture_cb", [](ov_config_s& c) { c.trigger_pic_capture_cb = nullptr; }, false},
        {"no trigger_record_cb, never called", [](ov_config_s& c) { c.trigger_record_cb = nullptr; }, false},
        {"no cloud_event_cb, optional", [](ov_config_s& c) { c.cloud_event_cb = nullptr; }, true},
        {"live storage mode, checked by ov_init",
         [](ov_config_s& c) { c.storage_record_mode = OV_STREAM_CMD_LIVE; }, true},
    };
    for (const ConfigCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceDispatch::DestroyInstance();
        logs_.Clear();
        ov_config_s config = ValidConfig();
        c.change(config);
        EXPECT_EQ(Dispatch()->Init(&config), c.accepted ? 0 : -1);
        if (c.accepted) {
            EXPECT_TRUE(logs_.Has(std::string("Product key:       ") + Dispatch()->GetProductKey(), LEVEL_INFO));
            EXPECT_TRUE(logs_.Has(std::string("Device name:       ") + Dispatch()->GetDeviceName(), LEVEL_INFO));
        } else {
            EXPECT_TRUE(logs_.Records().empty()) << logs_.Dump();  // rejected silently
            EXPECT_EQ(Dispatch()->GetProductKey(), "");
        }
    }
}

TEST_F(DeviceDispatchTest, NullConfigurationIsIllegalInput) {
    EXPECT_EQ(Dispatch()->Init(nullptr), -1);
    EXPECT_TRUE(logs_.Has("Illegal input", LEVEL_ERROR)) << logs_.Dump();
}

TEST_F(DeviceDispatchTest, IdentityIsTheConfiguredOneOnlyWhileInitialised) {
    EXPECT_EQ(Dispatch()->GetDeviceName(), "");
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    memset(&config, 0, sizeof(config));  // the caller's record is not kept
    EXPECT_EQ(Dispatch()->GetProductKey(), "a1B2");
    EXPECT_EQ(Dispatch()->GetDeviceName(), "cam01");
    EXPECT_EQ(Dispatch()->GetDeviceSecret(), "s3cr3t");
    EXPECT_EQ(Dispatch()->Destroy(), 0);
    EXPECT_EQ(Dispatch()->GetProductKey(), "");
    EXPECT_EQ(Dispatch()->GetDeviceName(), "");
    EXPECT_EQ(Dispatch()->GetDeviceSecret(), "");
}

TEST_F(DeviceDispatchTest, SecondInitKeepsTheFirstConfiguration) {
    ov_config_s first = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&first), 0);
    ov_config_s second = ValidConfig();
    strcpy(second.product_key, "other");
    EXPECT_EQ(Dispatch()->Init(&second), 0);
    EXPECT_TRUE(logs_.Has("Already init", LEVEL_WARN));
    EXPECT_EQ(Dispatch()->GetProductKey(), "a1B2");
}

TEST_F(DeviceDispatchTest, DestroyThenInitTakesANewConfiguration) {
    EXPECT_EQ(Dispatch()->Destroy(), 0);
    EXPECT_TRUE(logs_.Has("Not inited yet", LEVEL_WARN));
    ov_config_s first = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&first), 0);
    ASSERT_EQ(Dispatch()->Destroy(), 0);
    ov_config_s second = ValidConfig();
    strcpy(second.device_name, "cam02");
    ASSERT_EQ(Dispatch()->Init(&second), 0);
    EXPECT_EQ(Dispatch()->GetDeviceName(), "cam02");
}

// Every call of the device program, as a test drives it.
struct DeviceCallCase {
    const char* name;
    std::function<int(DeviceDispatch*)> call;
    const char* expected;  // the recorded text
    bool queued;
};

const ov_stream_param_s kParam = {5, "a.mp4", 30, 60, 1600000000u, 1600003600u, 90};

const std::vector<DeviceCallCase>& CallCases() {
    static const std::vector<DeviceCallCase> cases = {
        {"StartPushStreamingAsync",
         [](DeviceDispatch* d) { return d->StartPushStreamingAsync(3, OV_STREAM_CMD_STORAGE_RECORD_BY_FILE, &kParam); },
         "start 3 type 1 pre 5 file a.mp4 base 60 offset 30 begin 1600000000 end 1600003600 seek 90", true},
        {"StopPushStreamingAsync", [](DeviceDispatch* d) { return d->StopPushStreamingAsync(3); }, "stop 3", true},
        {"OnPushStreamingCmdAsync seek",
         [](DeviceDispatch* d) { return d->OnPushStreamingCmdAsync(7, OV_STORAGE_RECORD_SEEK, 12.9); },
         "cmd 7 3 seek 12 speed 0 key_only 0", true},
        {"OnPushStreamingCmdAsync set_param",
         [](DeviceDispatch* d) { return d->OnPushStreamingCmdAsync(7, OV_STORAGE_RECORD_SET_PARAM, 5, 2.7); },
         "cmd 7 5 seek 0 speed 2 key_only 1", true},
        {"OnPushStreamingCmdAsync set_param key_only 0",
         [](DeviceDispatch* d) { return d->OnPushStreamingCmdAsync(7, OV_STORAGE_RECORD_SET_PARAM, 0, 1.0); },
         "cmd 7 5 seek 0 speed 1 key_only 0", true},
        {"StartVoiceIntercomAsync", [](DeviceDispatch* d) { return d->StartVoiceIntercomAsync(4); },
         "intercom start 4", true},
        {"StopVoiceIntercomAsync", [](DeviceDispatch* d) { return d->StopVoiceIntercomAsync(4); }, "intercom stop 4",
         true},
        {"TriggerPicCaptureAsync", [](DeviceDispatch* d) { return d->TriggerPicCaptureAsync("pic-1"); }, "pic pic-1",
         true},
        {"CloudEventAsync",
         [](DeviceDispatch* d) { return d->CloudEventAsync(OV_CLOUD_EVENT_MASK, "not passed on"); },
         "cloud event 0 reserved null", true},
        {"VoiceIntercomReceiveMetadata",
         [](DeviceDispatch* d) {
             ov_audio_param_s audio = {OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_16000, OV_AUDIO_SAMPLE_BITS_16BIT,
                                       OV_AUDIO_CHANNEL_MONO};
             return d->VoiceIntercomReceiveMetadata(4, &audio) == 42 ? 0 : -7;
         },
         "metadata 4 format 2 rate 8", false},
        {"VoiceIntercomReceiveData",
         [](DeviceDispatch* d) {
             d->VoiceIntercomReceiveData("abcd", 3);
             return 0;
         },
         "data abc 3", false},
        {"QueryStorageRecord",
         [](DeviceDispatch* d) { return d->QueryStorageRecord(100, 200, 10, 1, "q1", testconfig::QueryDone); },
         "query 100 200 10 type 1 id q1 done yes", false},
        {"QueryStorageRecordByMonth",
         [](DeviceDispatch* d) { return d->QueryStorageRecordByMonth("202001", "m1", testconfig::MonthDone); },
         "month 202001 id m1 done yes", false},
        {"StartPushStreaming",
         [](DeviceDispatch* d) { return d->StartPushStreaming(3, OV_STREAM_CMD_LIVE, &kParam); },
         "start 3 type 0 pre 5 file a.mp4 base 60 offset 30 begin 1600000000 end 1600003600 seek 90", false},
        {"StopPushStreaming", [](DeviceDispatch* d) { return d->StopPushStreaming(3); }, "stop 3", false},
        {"StartVoiceIntercom", [](DeviceDispatch* d) { return d->StartVoiceIntercom(4); }, "intercom start 4", false},
        {"StopVoiceIntercom", [](DeviceDispatch* d) { return d->StopVoiceIntercom(4); }, "intercom stop 4", false},
        {"TriggerPicCapture", [](DeviceDispatch* d) { return d->TriggerPicCapture("pic-2"); }, "pic pic-2", false},
    };
    return cases;
}

TEST_F(DeviceDispatchTest, EachCallReachesItsCallbackOnTheRightThread) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    for (const DeviceCallCase& c : CallCases()) {
        SCOPED_TRACE(c.name);
        DeviceRecorder::Get().Clear();
        EXPECT_EQ(c.call(Dispatch()), 0);
        if (c.queued) Drain();
        auto calls = DeviceRecorder::Get().Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().text, c.expected);
        if (c.queued) {
            EXPECT_NE(calls.front().thread, std::this_thread::get_id());
        } else {
            EXPECT_EQ(calls.front().thread, std::this_thread::get_id());
        }
    }
}

TEST_F(DeviceDispatchTest, NothingIsCalledOrQueuedBeforeInit) {
    for (const DeviceCallCase& c : CallCases()) {
        SCOPED_TRACE(c.name);
        c.call(Dispatch());
    }
    // The int operations answer -1; the void one just returns.
    EXPECT_EQ(Dispatch()->StartPushStreamingAsync(1, OV_STREAM_CMD_LIVE, &kParam), -1);
    EXPECT_EQ(Dispatch()->VoiceIntercomReceiveMetadata(1, nullptr), -1);
    EXPECT_EQ(Dispatch()->QueryStorageRecord(0, 0, 0, 0, "", testconfig::QueryDone), -1);
    EXPECT_EQ(Dispatch()->TriggerPicCapture("x"), -1);
    Drain();
    EXPECT_TRUE(DeviceRecorder::Get().Calls().empty());
}

TEST_F(DeviceDispatchTest, CloudEventWithoutItsCallbackIsRefused) {
    ov_config_s config = ValidConfig();
    config.cloud_event_cb = nullptr;
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    EXPECT_EQ(Dispatch()->CloudEventAsync(OV_CLOUD_EVENT_MASK, ""), -1);
    Drain();
    EXPECT_TRUE(DeviceRecorder::Get().Calls().empty());
}

TEST_F(DeviceDispatchTest, RecordTypesOutsidePlanAlarmInitiativeMeanAny) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    const struct {
        int type;
        int expected;
    } cases[] = {{0, OV_STORAGE_RECORD_PLAN}, {1, OV_STORAGE_RECORD_ALARM}, {2, OV_STORAGE_RECORD_INITIATIVE},
                 {3, OV_STORAGE_RECORD_ANY},  {5, OV_STORAGE_RECORD_ANY},   {99, OV_STORAGE_RECORD_ANY},
                 {-1, OV_STORAGE_RECORD_ANY}};
    for (const auto& c : cases) {
        DeviceRecorder::Get().Clear();
        EXPECT_EQ(Dispatch()->QueryStorageRecord(1, 2, -1, c.type, "id", testconfig::QueryDone), 0);
        EXPECT_EQ(DeviceRecorder::Get().Texts().front(),
                  testconfig::Format("query 1 2 -1 type %d id id done yes", c.expected));
    }
}

TEST_F(DeviceDispatchTest, QueuedCallsReachTheDeviceInOrderOneAfterTheOther) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    DeviceRecorder::Get().callback_sleep_ms = 40;
    auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(Dispatch()->StartPushStreamingAsync(9, OV_STREAM_CMD_LIVE, &kParam), 0);
    ASSERT_EQ(Dispatch()->OnPushStreamingCmdAsync(9, OV_LIVE_REQUEST_I_FRAME, 0.0), 0);
    ASSERT_EQ(Dispatch()->StopPushStreamingAsync(9), 0);
    // Queuing does not wait for the device.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(40));
    Drain();
    const std::string start =
        "start 9 type 0 pre 5 file a.mp4 base 60 offset 30 begin 1600000000 end 1600003600 seek 90";
    const std::string cmd = "cmd 9 6 seek 0 speed 0 key_only 0";
    EXPECT_EQ(DeviceRecorder::Get().Texts(),
              (std::vector<std::string>{start, "end " + start, cmd, "end " + cmd, "stop 9", "end stop 9"}));
    EXPECT_EQ(DeviceRecorder::Get().overlaps, 0);
    auto calls = DeviceRecorder::Get().Calls();
    for (const auto& call : calls) EXPECT_EQ(call.thread, calls.front().thread);
}

TEST_F(DeviceDispatchTest, StartParametersAreCopiedWhenQueued) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    DeviceRecorder::Get().callback_sleep_ms = 0;
    ov_stream_param_s param = kParam;
    ASSERT_EQ(Dispatch()->StartPushStreamingAsync(2, OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME, &param), 0);
    strcpy(param.file_name, "changed");
    param.pre_time = 99;
    Drain();
    EXPECT_EQ(DeviceRecorder::Get().Texts().front(),
              "start 2 type 2 pre 5 file a.mp4 base 60 offset 30 begin 1600000000 end 1600003600 seek 90");
}

TEST_F(DeviceDispatchTest, QueuedCallsAfterTheConfigurationIsClearedAreSkipped) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    DeviceRecorder::Get().callback_sleep_ms = 80;
    ASSERT_EQ(Dispatch()->StartVoiceIntercomAsync(1), 0);
    ASSERT_EQ(Dispatch()->StopVoiceIntercomAsync(1), 0);
    for (int i = 0; i < 200 && DeviceRecorder::Get().Calls().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Dispatch()->Destroy();  // while the first call runs
    Drain();
    EXPECT_EQ(DeviceRecorder::Get().Texts(), (std::vector<std::string>{"intercom start 1", "end intercom start 1"}));
}

TEST_F(DeviceDispatchTest, QueuedCallIsRefusedWhenTheUserQueueIsDown) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(Dispatch()->Init(&config), 0);
    TimerService::DestroyUserInstance();
    EXPECT_EQ(Dispatch()->TriggerPicCaptureAsync("lost"), -1);
    EXPECT_TRUE(logs_.Has("Threadpool is not start", LEVEL_WARN));
    TimerService::GetUserInstance()->Start();
    Drain();
    EXPECT_TRUE(DeviceRecorder::Get().Calls().empty());
}

TEST_F(DeviceDispatchTest, InstanceIsCreatedOnFirstUseOnly) {
    DeviceDispatch::DestroyInstance();
    EXPECT_FALSE(DeviceDispatch::HasInstance());
    DeviceDispatch* first = DeviceDispatch::GetInstance();
    EXPECT_TRUE(DeviceDispatch::HasInstance());
    EXPECT_EQ(DeviceDispatch::GetInstance(), first);
    DeviceDispatch::DestroyInstance();
    EXPECT_FALSE(DeviceDispatch::HasInstance());
    DeviceDispatch::DestroyInstance();
}

}  // namespace
