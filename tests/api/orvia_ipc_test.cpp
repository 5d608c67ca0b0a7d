#include "orvia_ipc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "biz/user_interface/device_dispatch.h"
#include "common/timer_service.h"
#include "log_capture.h"
#include "orvia_ipc_dump.h"
#include "orvia_ipc_services.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"
#include "test_config.h"
#include "utils/logger.h"

namespace {

using testconfig::DeviceRecorder;
using testconfig::ValidConfig;

const std::string kStart = "--------------------param----start--------------------";
const std::string kStop = "--------------------param----stop--------------------";

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

class OvApiTest : public testing::Test {
protected:
    void SetUp() override {
        ov_destroy();
        DeviceRecorder::Get().Clear();
        DeviceRecorder::Get().callback_sleep_ms = 0;
        logs_.Clear();
    }
    void TearDown() override {
        ov_destroy();
        testsupport::LogCapture restore;  // a test may have installed its own sink
        logger_set_level(LEVEL_DEBUG);
    }
    // Index of the first record whose message is text, or -1.
    int IndexOf(const std::string& text) const {
        auto records = logs_.Records();
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].message == text) return static_cast<int>(i);
        }
        return -1;
    }
    int ErrorCount() const {
        int count = 0;
        for (const auto& record : logs_.Records()) count += record.level == LEVEL_ERROR ? 1 : 0;
        return count;
    }
    // ov_init's start sequence left every service down: the dispatcher gone, the pool and queues stopped.
    void ExpectEverythingDown() const {
        EXPECT_FALSE(DeviceDispatch::HasInstance());
        EXPECT_EQ(logs_.Count("ThreadPool start success"), logs_.Count("ThreadPool stop success")) << logs_.Dump();
    }

    testsupport::LogCapture logs_;
};

// ov_init ----------------------------------------------------------------------------------------------

TEST_F(OvApiTest, InitWithNullConfigurationWritesTheShortDumpAndFails) {
    EXPECT_EQ(ov_init(nullptr), -1);
    EXPECT_TRUE(logs_.Has(Lines({"[ov_init]", kStart, "ov_config_s point is null", kStop}), LEVEL_VERBOSE))
        << logs_.Dump();
    EXPECT_TRUE(logs_.Has("start config service failed", LEVEL_ERROR));
    EXPECT_TRUE(logs_.Has("Destroy success", LEVEL_INFO));
    ExpectEverythingDown();
}

TEST_F(OvApiTest, InitLogsBannerThenDumpThenStartsEverything) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(ov_init(&config), 0) << logs_.Dump();
    auto records = logs_.Records();
    ASSERT_GE(records.size(), 5u);
    EXPECT_EQ(records[0].message.rfind("Build version: ", 0), 0u);
    EXPECT_EQ(records[1].message.rfind("Build date:    ", 0), 0u);
    EXPECT_EQ(records[2].message.rfind("Build by:      ", 0), 0u);
    EXPECT_EQ(records[3].message.rfind("Build id:      ", 0), 0u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(records[i].level, LEVEL_INFO);
    EXPECT_EQ(records[4].message, InitDump(&config));
    EXPECT_EQ(records[4].file, "orvia_ipc.cpp");
    EXPECT_TRUE(logs_.Has("Init success", LEVEL_INFO));
    // The common pool and the three queues.
    EXPECT_EQ(logs_.Count("ThreadPool start success"), 4);
    EXPECT_EQ(DeviceDispatch::GetInstance()->GetProductKey(), "a1B2");
    EXPECT_EQ(ErrorCount(), 0) << logs_.Dump();
}

TEST_F(OvApiTest, InitDumpListsEveryFieldInOrder) {
    ov_config_s config = ValidConfig();
    config.log_dest = OV_LOG_DESTINATION_STDOUT;
    config.live_p2p_num = 4294967295u;  // unsigned fields print with %d
    config.stream_auto_save = 1;
    strcpy(config.stream_auto_save_path, "/tmp/save");
    config.cloud_event_cb = nullptr;
    EXPECT_EQ(InitDump(&config), Lines({"[ov_init]",
                                        kStart,
                                        "ov_config_s point is not null",
                                        "product_key a1B2",
                                        "device_name cam01",
                                        "device_secret s3cr3t",
                                        "log_level 3",
                                        "log_dest 1",
                                        "log_cb point is null",
                                        "storage_record_mode 2",
                                        "live_p2p_num -1",
                                        "storage_record_source_num 2",
                                        "stream_auto_check 0",
                                        "stream_auto_save 1",
                                        "stream_auto_save_path /tmp/save",
                                        "start_push_streaming_cb point is not null",
                                        "stop_push_streaming_cb point is not null",
                                        "on_push_streaming_cmd_cb point is not null",
                                        "start_voice_intercom_cb point is not null",
                                        "stop_voice_intercom_cb point is not null",
                                        "voice_intercom_receive_metadata_cb point is not null",
                                        "voice_intercom_receive_data_cb point is not null",
                                        "query_storage_record_cb point is not null",
                                        "query_storage_record_by_month_cb point is not null",
                                        "trigger_pic_capture_cb point is not null",
                                        "trigger_record_cb point is not null",
                                        "cloud_event_cb point is null",
                                        kStop}));
}

TEST_F(OvApiTest, InitDumpOfAnUnterminatedProductKeyStopsAtTheField) {
    ov_config_s config = ValidConfig();
    memset(config.product_key, 'p', sizeof(config.product_key));
    EXPECT_NE(InitDump(&config).find("\nproduct_key " + std::string(21, 'p') + "\ndevice_name cam01\n"),
              std::string::npos);
}

std::atomic<int> g_second_sink_records{0};
void CountingSink(ov_log_level_e, const char*, int, const char*, ...) { ++g_second_sink_records; }

TEST_F(OvApiTest, InitTwiceSucceedsAndTheSecondUserSinkStillReplacesTheFirst) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(ov_init(&config), 0);
    g_second_sink_records = 0;
    ov_config_s again = ValidConfig();
    again.log_dest = OV_LOG_DESTINATION_USER_DEFINE;
    again.log_cb = CountingSink;
    EXPECT_EQ(ov_init(&again), 0);
    // The banner, the dump and "SDK is already init, do nothing" went to the new sink.
    EXPECT_EQ(g_second_sink_records, 6);
    EXPECT_EQ(reinterpret_cast<void*>(g_logger_cb), reinterpret_cast<void*>(again.log_cb));
    EXPECT_EQ(reinterpret_cast<void*>(g_rtmp_log_cb), reinterpret_cast<void*>(again.log_cb));
    testsupport::LogCapture capture_again;
    EXPECT_EQ(ov_init(&config), 0);
    EXPECT_TRUE(capture_again.Has("SDK is already init, do nothing", LEVEL_INFO));
    EXPECT_FALSE(capture_again.Has("Init success"));
    EXPECT_EQ(DeviceDispatch::GetInstance()->GetProductKey(), "a1B2");
}

TEST_F(OvApiTest, RtmpEngineLogsThroughTheSdkSinkAfterInit) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(ov_init(&config), 0);
    EXPECT_EQ(reinterpret_cast<void*>(g_rtmp_log_cb), reinterpret_cast<void*>(g_logger_cb));
    RTMP_LOGE("engine says %d", 7);
    EXPECT_TRUE(logs_.Has("engine says 7", LEVEL_ERROR));
}

TEST_F(OvApiTest, StdoutDestinationSetsTheLevelEvenWhenInitThenFails) {
    ov_config_s config = ValidConfig();
    config.log_dest = OV_LOG_DESTINATION_STDOUT;
    config.log_level = OV_LOG_VERBOSE;
    config.trigger_record_cb = nullptr;
    EXPECT_EQ(ov_init(&config), -1);
    EXPECT_EQ(g_logger_level, LEVEL_VERBOSE);
    config = ValidConfig();
    config.log_dest = OV_LOG_DESTINATION_FILE;
    config.log_level = OV_LOG_ERROR;
    ASSERT_EQ(ov_init(&config), 0);
    EXPECT_EQ(g_logger_level, LEVEL_VERBOSE);  // a file destination leaves the logger as it is
}

struct FailingInitCase {
    const char* name;
    std::function<void(ov_config_s&)> change;
    std::vector<std::string> errors;  // in order; every error line of the attempt
    int pools_started;                // pool and queues started (and stopped again) before the failure
};

TEST_F(OvApiTest, FailedInitLogsItsStepAndLeavesEverythingDown) {
    const FailingInitCase cases[] = {
        {"product key of 21", [](ov_config_s& c) { memset(c.product_key, 'k', 21); },
         {"start config service failed"}, 0},
        {"no start callback", [](ov_config_s& c) { c.start_push_streaming_cb = nullptr; },
         {"start config service failed"}, 0},
        {"live storage mode", [](ov_config_s& c) { c.storage_record_mode = OV_STREAM_CMD_LIVE; },
         {"Storage record mode is error, mode = 0"}, 4},
        {"pre-event storage mode", [](ov_config_s& c) { c.storage_record_mode = OV_STREAM_CMD_PRE_EVENT_RECORD; },
         {"Storage record mode is error, mode = 3"}, 4},
        {"stream checks on", [](ov_config_s& c) { c.stream_auto_check = 1; },
         {"Stream check is not available yet"}, 4},
        {"stream saving on",
         [](ov_config_s& c) {
             c.stream_auto_save = 1;
             strcpy(c.stream_auto_save_path, "/tmp");
         },
         {"Stream save is not available yet"}, 4},
    };
    for (const FailingInitCase& c : cases) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        ov_config_s config = ValidConfig();
        c.change(config);
        EXPECT_EQ(ov_init(&config), -1);
        std::vector<std::string> errors;
        for (const auto& record : logs_.Records()) {
            if (record.level == LEVEL_ERROR) errors.push_back(record.message);
        }
        EXPECT_EQ(errors, c.errors) << logs_.Dump();
        EXPECT_EQ(logs_.Count("ThreadPool start success"), c.pools_started);
        EXPECT_TRUE(logs_.Has("Destroy success"));
        EXPECT_FALSE(logs_.Has("Init success"));
        ExpectEverythingDown();
        logs_.Clear();
        EXPECT_EQ(ov_post_pre_complete(1), -1);
        EXPECT_TRUE(logs_.Has("SDK is not init yet", LEVEL_ERROR));
    }
}

TEST_F(OvApiTest, PlaybackSourcesAreClampedToOneToEight) {
    const struct {
        uint32_t given;
        unsigned expected;
    } cases[] = {{0, 1}, {1, 1}, {2, 2}, {8, 8}, {9, 8}, {20, 8}, {4294967295u, 8}};
    for (const auto& c : cases) EXPECT_EQ(ClampVodSupport(c.given), c.expected) << c.given;
}

TEST_F(OvApiTest, StorageRecordModeSelectsThePlaybackMode) {
    const struct {
        ov_stream_type_e mode;
        int result;
        VodMode vod_mode;
    } cases[] = {
        {OV_STREAM_CMD_STORAGE_RECORD_BY_FILE, 0, VOD_MODE_UTC_TO_NAME},
        {OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME, 0, VOD_MODE_UTC},
        {OV_STREAM_CMD_LIVE, -1, VOD_MODE_UTC},
        {OV_STREAM_CMD_PRE_EVENT_RECORD, -1, VOD_MODE_UTC},
    };
    for (const auto& c : cases) {
        ov_config_s config = ValidConfig();
        config.storage_record_mode = c.mode;
        config.storage_record_source_num = 20;
        PlaybackSettings settings{0, VOD_MODE_UTC};
        EXPECT_EQ(PlaybackSettingsOf(config, &settings), c.result) << c.mode;
        if (c.result == 0) {
            EXPECT_EQ(settings.vod_mode, c.vod_mode);
            EXPECT_EQ(settings.vod_support, 8u);
        }
    }
}

TEST_F(OvApiTest, DeviceIdentifierJoinsProductKeyAndDeviceName) {
    EXPECT_EQ(DeviceIdentifier("a1B2", "cam01"), "a1B2_cam01");
}

// ov_destroy -------------------------------------------------------------------------------------------

TEST_F(OvApiTest, DestroyWithoutInitSucceedsAndCreatesNothing) {
    EXPECT_EQ(ov_destroy(), 0);
    EXPECT_EQ(ov_destroy(), 0);
    EXPECT_TRUE(logs_.Has(Lines({"ov_destroy", kStart, kStop}), LEVEL_VERBOSE)) << logs_.Dump();
    EXPECT_EQ(logs_.Count("Destroy success"), 2);
    EXPECT_FALSE(DeviceDispatch::HasInstance());
    EXPECT_EQ(ErrorCount(), 0);
    EXPECT_FALSE(logs_.Has("Not inited yet"));
}

TEST_F(OvApiTest, InitDestroyInitAgain) {
    for (int round = 0; round < 3; ++round) {
        ov_config_s config = ValidConfig();
        snprintf(config.device_name, sizeof(config.device_name), "cam%02d", round);
        ASSERT_EQ(ov_init(&config), 0) << round;
        EXPECT_EQ(DeviceDispatch::GetInstance()->GetDeviceName(), config.device_name);
        EXPECT_EQ(ov_destroy(), 0);
        EXPECT_FALSE(DeviceDispatch::HasInstance());
    }
    EXPECT_EQ(logs_.Count("ThreadPool start success"), 12);
    EXPECT_EQ(logs_.Count("ThreadPool stop success"), 12);
}

TEST_F(OvApiTest, DestroyClearsTheConfigurationBeforeTheUserQueueDrains) {
    ov_config_s config = ValidConfig();
    ASSERT_EQ(ov_init(&config), 0);
    DeviceRecorder::Get().callback_sleep_ms = 80;
    ASSERT_EQ(DeviceDispatch::GetInstance()->StartPushStreamingAsync(1, OV_STREAM_CMD_LIVE, nullptr), 0);
    ASSERT_EQ(DeviceDispatch::GetInstance()->StopPushStreamingAsync(1), 0);
    for (int i = 0; i < 200 && DeviceRecorder::Get().Calls().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(ov_destroy(), 0);
    // The running call finished; the queued one found the configuration gone.
    auto texts = DeviceRecorder::Get().Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind("start 1 type 0", 0), 0u);
    EXPECT_EQ(texts[1].rfind("end start 1", 0), 0u);
}

// Calls before init ------------------------------------------------------------------------------------

struct ApiCall {
    const char* name;
    std::function<int()> call;
};

const ov_video_param_s kVideo = {OV_VIDEO_FORMAT_H265, 25, 2000};
const ov_audio_param_s kAudio = {OV_AUDIO_FORMAT_AAC, OV_AUDIO_SAMPLE_RATE_44100, OV_AUDIO_SAMPLE_BITS_16BIT,
                                 OV_AUDIO_CHANNEL_STEREO};
unsigned char g_frame[8] = {0, 0, 0, 1, 0x65, 1, 2, 3};
const ov_tessera_adapter_property_s kMessage = {0, "11", 2, "StartPushStreaming", 18, "{}", 2};

std::vector<ApiCall> EveryCallButInitDestroyControl() {
    return {
        {"ov_stream_send_config", [] { return ov_stream_send_config(1, 512, 10.5, &kVideo, &kAudio); }},
        {"ov_stream_send_video",
         [] { return ov_stream_send_video(1, OV_VIDEO_FORMAT_H264, g_frame, sizeof(g_frame), 1, 40); }},
        {"ov_stream_send_audio",
         [] { return ov_stream_send_audio(1, OV_AUDIO_FORMAT_AAC, g_frame, sizeof(g_frame), 40); }},
        {"ov_post_alarm_image", [] { return ov_post_alarm_image("jpeg", 4, OV_EVENT_HUMAN, "a1"); }},
        {"ov_voice_intercom_start_service", [] { return ov_voice_intercom_start_service(2, &kAudio); }},
        {"ov_voice_intercom_send_audio", [] { return ov_voice_intercom_send_audio(2, "pcm", 3, 20); }},
        {"ov_voice_intercom_stop_service", [] { return ov_voice_intercom_stop_service(2); }},
        {"ov_tessera_adapter", [] { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &kMessage); }},
        {"ov_post_file_close", [] { return ov_post_file_close(1, "a.mp4"); }},
        {"ov_post_pre_complete", [] { return ov_post_pre_complete(1); }},
    };
}

TEST_F(OvApiTest, EveryCallBeforeInitDumpsThenFails) {
    for (const ApiCall& c : EveryCallButInitDestroyControl()) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        EXPECT_EQ(c.call(), -1);
        auto records = logs_.Records();
        ASSERT_EQ(records.size(), 2u) << logs_.Dump();
        EXPECT_EQ(records[0].level, LEVEL_VERBOSE);
        EXPECT_EQ(records[0].message.rfind(std::string("[") + c.name + "]\n" + kStart + "\n", 0), 0u);
        EXPECT_EQ(records[1].message, "SDK is not init yet");
        EXPECT_EQ(records[1].level, LEVEL_ERROR);
    }
}

TEST_F(OvApiTest, ControlBeforeInitFailsWithoutADump) {
    EXPECT_EQ(ov_control(OV_CONTROL_LOG_LEVEL, 4), -1);
    auto records = logs_.Records();
    ASSERT_EQ(records.size(), 1u) << logs_.Dump();
    EXPECT_EQ(records[0].message, "SDK is not init yet");
    EXPECT_EQ(g_logger_level, LEVEL_DEBUG);
}

// Calls while initialised ------------------------------------------------------------------------------

class OvApiRunningTest : public OvApiTest {
protected:
    void SetUp() override {
        OvApiTest::SetUp();
        ov_config_s config = ValidConfig();
        ASSERT_EQ(ov_init(&config), 0);
        logs_.Clear();
    }
    // Messages at error level, in order.
    std::vector<std::string> Errors() const {
        std::vector<std::string> errors;
        for (const auto& record : logs_.Records()) {
            if (record.level == LEVEL_ERROR) errors.push_back(record.message);
        }
        return errors;
    }
};

struct CheckedCall {
    const char* name;
    std::function<int()> call;
    const char* error;  // the one error line
};

TEST_F(OvApiRunningTest, ArgumentChecks) {
    const CheckedCall cases[] = {
        {"config without audio", [] { return ov_stream_send_config(1, 512, 0, &kVideo, nullptr); },
         "invalid parameter(s)"},
        {"config without video", [] { return ov_stream_send_config(1, 512, 0, nullptr, &kAudio); },
         "invalid parameter(s)"},
        {"video without buffer", [] { return ov_stream_send_video(1, OV_VIDEO_FORMAT_H264, nullptr, 5, 0, 0); },
         "invalid param, null pointer"},
        {"audio without buffer", [] { return ov_stream_send_audio(1, OV_AUDIO_FORMAT_PCM, nullptr, 5, 0); },
         "invalid param, null pointer"},
        {"file close without name", [] { return ov_post_file_close(1, nullptr); }, "Invalid param filename"},
    };
    for (const CheckedCall& c : cases) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(Errors(), std::vector<std::string>{c.error}) << logs_.Dump();
    }
}

TEST_F(OvApiRunningTest, CallsForServicesStillToComeFailWithOneLine) {
    const CheckedCall cases[] = {
        {"ov_stream_send_config", [] { return ov_stream_send_config(1, 512, 10.5, &kVideo, &kAudio); },
         "Stream session is not available yet"},
        {"ov_stream_send_video",
         [] { return ov_stream_send_video(1, OV_VIDEO_FORMAT_H264, g_frame, sizeof(g_frame), 1, 40); },
         "Stream session is not available yet"},
        {"ov_stream_send_audio",
         [] { return ov_stream_send_audio(1, OV_AUDIO_FORMAT_AAC, g_frame, sizeof(g_frame), 40); },
         "Stream session is not available yet"},
        {"ov_post_file_close", [] { return ov_post_file_close(1, "a.mp4"); }, "Stream session is not available yet"},
        {"ov_post_pre_complete", [] { return ov_post_pre_complete(1); }, "Stream session is not available yet"},
        {"ov_post_alarm_image", [] { return ov_post_alarm_image("jpeg", 4, OV_EVENT_HUMAN, nullptr); },
         "Picture session is not available yet"},
        {"ov_voice_intercom_start_service", [] { return ov_voice_intercom_start_service(2, &kAudio); },
         "Intercom manager is not available yet"},
        {"ov_voice_intercom_send_audio", [] { return ov_voice_intercom_send_audio(2, "pcm", 3, 20); },
         "Intercom manager is not available yet"},
        {"ov_voice_intercom_stop_service", [] { return ov_voice_intercom_stop_service(2); },
         "Intercom manager is not available yet"},
        {"ov_control stream check", [] { return ov_control(OV_CONTROL_STREAM_AUTO_CHECK, 1); },
         "Stream check is not available yet"},
        {"ov_control stream save off", [] { return ov_control(OV_CONTROL_STREAM_AUTO_SAVE, 0); },
         "Stream check is not available yet"},
        {"ov_control stream save on", [] { return ov_control(OV_CONTROL_STREAM_AUTO_SAVE, 1, "/tmp"); },
         "Stream check is not available yet"},
    };
    for (const CheckedCall& c : cases) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(Errors(), std::vector<std::string>{c.error}) << logs_.Dump();
    }
}

TEST_F(OvApiRunningTest, IntercomAudioIsLoggedAtVerboseBeforeItIsForwarded) {
    EXPECT_EQ(ov_voice_intercom_send_audio(3, "pcm", 160, 4294967295u), -1);
    int line = IndexOf("Send audio, service_id:3, len:160, timestamp:4294967295");
    ASSERT_GE(line, 0) << logs_.Dump();
    EXPECT_EQ(logs_.Records()[line].level, LEVEL_VERBOSE);
    EXPECT_LT(line, IndexOf("Intercom manager is not available yet"));
}

// ov_tessera_adapter -----------------------------------------------------------------------------------

TEST_F(OvApiRunningTest, AdapterRefusesMessagesBeforeTheCloudConnected) {
    for (auto type : {OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, OV_TESSERA_ADAPTER_TYPE_ORVIA,
                      OV_TESSERA_ADAPTER_TYPE_TSL_PROPERTY}) {
        logs_.Clear();
        EXPECT_EQ(ov_tessera_adapter(type, &kMessage), -1);
        EXPECT_EQ(Errors(), std::vector<std::string>{"Tessera is not connect yet"}) << type;
    }
}

// The connected event queues the capability reports on the network queue; a marker task queued after
// them runs only once they have been attempted (the queue keeps order), so their lines come first.
void WaitForNetworkQueue() {
    std::promise<void> done;
    TimerTaskProperty marker;
    marker.process = [](void* arg) { static_cast<std::promise<void>*>(arg)->set_value(); };
    marker.arg = &done;
    ASSERT_EQ(TimerService::GetNetworkInstance()->AddTask(marker, 0), 0);
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST_F(OvApiRunningTest, AdapterAfterConnection) {
    ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr);
    WaitForNetworkQueue();
    const CheckedCall cases[] = {
        {"property", [] { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_PROPERTY, &kMessage); },
         "Not recognize adapter type: 0"},
        {"unknown type",
         [] { return ov_tessera_adapter(static_cast<ov_tessera_adapter_type_s>(7), &kMessage); },
         "Not recognize adapter type: 7"},
        {"null record", [] { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, nullptr); },
         "Illegal input"},
    };
    for (const CheckedCall& c : cases) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(Errors(), std::vector<std::string>{c.error}) << logs_.Dump();
    }
}

TEST_F(OvApiRunningTest, DestroyClearsTheCloudConnection) {
    ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr);
    ov_destroy();
    ov_config_s config = ValidConfig();
    ASSERT_EQ(ov_init(&config), 0);
    logs_.Clear();
    EXPECT_EQ(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &kMessage), -1);
    EXPECT_EQ(Errors(), std::vector<std::string>{"Tessera is not connect yet"});
}

TEST_F(OvApiTest, AdapterTextsAreCutOrPaddedToTheirLength) {
    const struct {
        const char* text;
        int len;
        std::string expected;
    } cases[] = {
        {"abcdefgh", 5, "abcde"},
        {"ab", 5, std::string("ab\0\0\0", 5)},
        {"", 2, std::string("\0\0", 2)},
        {"abc", 3, "abc"},
        {"abc", 0, ""},
        {"abc", -4, ""},
        {nullptr, 5, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdapterText(c.text, c.len), c.expected) << (c.text ? c.text : "null") << " " << c.len;
    }
}

// ov_control -------------------------------------------------------------------------------------------

TEST_F(OvApiRunningTest, ControlLogLevel) {
    EXPECT_EQ(ov_control(OV_CONTROL_LOG_LEVEL, 9), 0);
    EXPECT_EQ(g_logger_level, LEVEL_DEBUG);
    EXPECT_EQ(ov_control(OV_CONTROL_LOG_LEVEL, -1), 0);
    EXPECT_EQ(g_logger_level, LEVEL_DEBUG);
    EXPECT_EQ(ov_control(OV_CONTROL_LOG_LEVEL, 4), 0);
    EXPECT_EQ(g_logger_level, LEVEL_VERBOSE);
    EXPECT_EQ(ov_control(OV_CONTROL_LOG_LEVEL, 0), 0);
    EXPECT_EQ(g_logger_level, LEVEL_ERROR);
    EXPECT_TRUE(Errors().empty());
    EXPECT_FALSE(logs_.HasSubstring(kStart));  // ov_control writes no dump
}

TEST_F(OvApiRunningTest, ControlSaveWithoutPathAndUnknownType) {
    EXPECT_EQ(ov_control(OV_CONTROL_STREAM_AUTO_SAVE, 1, static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(Errors(), std::vector<std::string>{"No save path"});
    logs_.Clear();
    EXPECT_EQ(ov_control(static_cast<ov_control_type_e>(7)), -1);
    EXPECT_EQ(Errors(), std::vector<std::string>{"Type 7 is not support"});
}

// Parameter dumps --------------------------------------------------------------------------------------

struct DumpCase {
    const char* name;
    std::function<int()> call;
    std::vector<std::string> lines;  // between the start and stop lines
};

TEST_F(OvApiTest, ParameterDumps) {
    static const ov_tessera_adapter_property_s cut = {3, "42", 2, "/vision/p2p/dev/data/downstream", 31,
                                                      "abcdefgh", 5};
    const DumpCase cases[] = {
        {"ov_stream_send_config",
         [] { return ov_stream_send_config(5, 4294967295u, 10.25, &kVideo, &kAudio); },
         {"service id 5", "bitrate_kbps -1", "duration 10.250000", "video_param point is not null",
          "video_param format 1", "video_param fps 25", "video_param key_frame_interval_ms 2000",
          "audio_param point is not null", "audio_param format 2", "audio_param sample_rate 4",
          "audio_param sample_bits 1", "audio_param channel 1"}},
        {"ov_stream_send_config",
         [] { return ov_stream_send_config(5, 0, 0, nullptr, nullptr); },
         {"service id 5", "bitrate_kbps 0", "duration 0.000000", "video_param point is null",
          "video_param format 0", "video_param fps 0", "video_param key_frame_interval_ms 0",
          "audio_param point is null", "audio_param format 0", "audio_param sample_rate 0",
          "audio_param sample_bits 0", "audio_param channel 0"}},
        {"ov_stream_send_video",
         [] { return ov_stream_send_video(6, OV_VIDEO_FORMAT_H265, g_frame, 8, 1, 4000000000u); },
         {"service_id 6", "format 1", "buf point is not null", "len 8", "key_frame 1", "timestamp_ms -294967296"}},
        {"ov_stream_send_video",
         [] { return ov_stream_send_video(6, OV_VIDEO_FORMAT_H264, nullptr, 0, 0, 0); },
         {"service_id 6", "format 0", "buf point is null", "len 0", "key_frame 0", "timestamp_ms 0"}},
        {"ov_stream_send_audio",
         [] { return ov_stream_send_audio(7, OV_AUDIO_FORMAT_G711A, g_frame, 160, 20); },
         {"service_id 7", "format 1", "buf point is not null", "len 160", "timestamp_ms 20"}},
        {"ov_post_alarm_image",
         [] { return ov_post_alarm_image("jpeg", 4, OV_EVENT_LAUGH, "alarm-9"); },
         {"buffer point is not null", "buffer_len 4", "type 12", "id alarm-9"}},
        {"ov_post_alarm_image",
         [] { return ov_post_alarm_image(nullptr, 0, OV_TRIGGER_PIC, nullptr); },
         {"buffer point is null", "buffer_len 0", "type 0", "id point is null"}},
        {"ov_voice_intercom_start_service",
         [] { return ov_voice_intercom_start_service(8, &kAudio); },
         {"service_id 8", "audio_param point is not null", "audio_param format 2", "audio_param sample_rate 4",
          "audio_param sample_bits 1", "audio_param channel 1"}},
        {"ov_voice_intercom_start_service",
         [] { return ov_voice_intercom_start_service(8, nullptr); },
         {"service_id 8", "audio_param point is null", "audio_param format 0", "audio_param sample_rate 0",
          "audio_param sample_bits 0", "audio_param channel 0"}},
        {"ov_voice_intercom_send_audio",
         [] { return ov_voice_intercom_send_audio(8, "pcm", 3, 60); },
         {"service_id 8", "buffer point is not null", "buffer_len 3", "timestamp_ms 60"}},
        {"ov_voice_intercom_stop_service", [] { return ov_voice_intercom_stop_service(8); }, {"service_id 8"}},
        {"ov_tessera_adapter",
         [] { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_ORVIA, &cut); },
         {"type 2", "in point is not null", "in dev_id 3", "in id 42", "in id_len 2",
          "in service_id /vision/p2p/dev/data/downstream", "in service_id_len 31", "in request abcdefgh",
          "in request_len 5"}},
        {"ov_tessera_adapter",
         [] {
             static const ov_tessera_adapter_property_s empty = {0, nullptr, 0, nullptr, 0, nullptr, 0};
             return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, &empty);
         },
         {"type 1", "in point is not null", "in dev_id 0", "in id point is null", "in id_len 0",
          "in service_id point is null", "in service_id_len 0", "in request point is null", "in request_len 0"}},
        {"ov_tessera_adapter",
         [] { return ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_CONNECTED, nullptr); },
         {"type 3", "in point is null"}},
        {"ov_post_file_close", [] { return ov_post_file_close(9, "rec/a.mp4"); },
         {"service_id 9", "filename rec/a.mp4"}},
        {"ov_post_file_close", [] { return ov_post_file_close(9, nullptr); }, {"service_id 9", "filename (null)"}},
        {"ov_post_pre_complete", [] { return ov_post_pre_complete(10); }, {"service_id 10"}},
    };
    for (const DumpCase& c : cases) {
        SCOPED_TRACE(c.name);
        logs_.Clear();
        c.call();
        std::vector<std::string> lines = {std::string("[") + c.name + "]", kStart};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back(kStop);
        auto records = logs_.Records();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records[0].message, Lines(lines));
        EXPECT_EQ(records[0].level, LEVEL_VERBOSE);
    }
}

}  // namespace
