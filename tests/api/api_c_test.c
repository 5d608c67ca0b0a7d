/* The public header as a C program sees it: it compiles as C11, its values are the documented ones, and the
 * functions link and answer from C. Exits 0 on success. */
#include "orvia_ipc.h"

#include <stdio.h>
#include <string.h>

_Static_assert(sizeof(ov_log_level_e) == 4, "enumerations are 32-bit");
_Static_assert(OV_WARN_BUF_FULL == 1 && OV_ERROR_ILLEGAL_INPUT == -2, "ov_error_e");
_Static_assert(OV_LOG_VERBOSE == 4 && OV_LOG_MAX == 5, "ov_log_level_e");
_Static_assert(OV_LOG_DESTINATION_USER_DEFINE == 2, "ov_log_destination");
_Static_assert(OV_AUDIO_SAMPLE_RATE_44100 == 4 && OV_AUDIO_SAMPLE_RATE_8000 == 11 && OV_AUDIO_SAMPLE_RATE_7350 == 12,
               "sampling frequency indexes");
_Static_assert(OV_STREAM_CMD_PRE_EVENT_RECORD == 3, "ov_stream_type_e");
_Static_assert(OV_LIVE_REQUEST_I_FRAME == 6, "ov_on_push_streaming_cmd_type_e");
_Static_assert(OV_EVENT_LAUGH == 12, "ov_event_type_e");
_Static_assert(OV_STORAGE_RECORD_ANY == 99, "ov_storage_record_type_e");
_Static_assert(OV_TESSERA_ADAPTER_TYPE_CONNECTED == 3, "ov_tessera_adapter_type_s");
_Static_assert(OV_CONTROL_STREAM_AUTO_SAVE == 2, "ov_control_type_e");
_Static_assert(sizeof(((ov_config_s*)0)->product_key) == 21, "product key field");
_Static_assert(sizeof(((ov_config_s*)0)->stream_auto_save_path) == 33, "save path field");
_Static_assert(sizeof(((ov_stream_param_s*)0)->file_name) == 256, "file name field");
_Static_assert(sizeof(((ov_query_storage_record_response_s*)0)->file_name) == 65, "record file name field");

static int failures;

#define EXPECT(condition)                                                 \
    do {                                                                  \
        if (!(condition)) {                                               \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                   \
        }                                                                 \
    } while (0)

static void quiet_log(ov_log_level_e level, const char* file, int line, const char* fmt, ...) {
    (void)level;
    (void)file;
    (void)line;
    (void)fmt;
}

static int start_push(int service_id, ov_stream_type_e type, const ov_stream_param_s* param) {
    (void)service_id;
    (void)type;
    (void)param;
    return 0;
}
static int by_id(int service_id) {
    (void)service_id;
    return 0;
}
static int push_cmd(int service_id, ov_on_push_streaming_cmd_type_e cmd, const ov_on_push_streaming_cmd_param_s* p) {
    (void)service_id;
    (void)cmd;
    (void)p;
    return 0;
}
static int metadata(int service_id, const ov_audio_param_s* audio_param) {
    (void)service_id;
    (void)audio_param;
    return 0;
}
static void receive(const char* buffer, uint32_t size) {
    (void)buffer;
    (void)size;
}
static void query(uint32_t start, uint32_t stop, int num, ov_storage_record_type_e type, const char* id,
                  ov_query_storage_record_response_cb done) {
    (void)start;
    (void)stop;
    (void)type;
    done(num > 0 ? 0 : num, id, NULL);
}
static void query_month(const char* month, const char* id, ov_query_storage_record_by_month_response_cb done) {
    (void)month;
    (void)done;
    (void)id;
}
static int pic(const char* trigger_id) {
    (void)trigger_id;
    return 0;
}
static int record(int type, int duration, int pre_duration) {
    (void)type;
    (void)duration;
    (void)pre_duration;
    return 0;
}

int main(void) {
    ov_config_s config;
    ov_video_param_s video = {OV_VIDEO_FORMAT_H264, 25, 2000};
    unsigned char frame[4] = {0, 0, 0, 1};

    memset(&config, 0, sizeof(config));
    strcpy(config.product_key, "a1B2");
    strcpy(config.device_name, "cam01");
    strcpy(config.device_secret, "secret");
    config.log_level = OV_LOG_INFO;
    config.log_dest = OV_LOG_DESTINATION_USER_DEFINE;
    config.log_cb = quiet_log;
    config.storage_record_mode = OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME;
    config.start_push_streaming_cb = start_push;
    config.stop_push_streaming_cb = by_id;
    config.on_push_streaming_cmd_cb = push_cmd;
    config.start_voice_intercom_cb = by_id;
    config.stop_voice_intercom_cb = by_id;
    config.voice_intercom_receive_metadata_cb = metadata;
    config.voice_intercom_receive_data_cb = receive;
    config.query_storage_record_cb = query;
    config.query_storage_record_by_month_cb = query_month;
    config.trigger_pic_capture_cb = pic;
    config.trigger_record_cb = record;

    EXPECT(ov_destroy() == OV_ERROR_NONE);
    EXPECT(ov_control(OV_CONTROL_LOG_LEVEL, OV_LOG_DEBUG) == OV_ERROR_DEFAULT);
    EXPECT(ov_init(NULL) == OV_ERROR_DEFAULT);
    EXPECT(ov_init(&config) == OV_ERROR_NONE);
    EXPECT(ov_init(&config) == OV_ERROR_NONE);
    EXPECT(ov_control(OV_CONTROL_LOG_LEVEL, OV_LOG_DEBUG) == OV_ERROR_NONE);
    EXPECT(ov_stream_send_config(1, 512, 0.0, &video, NULL) == OV_ERROR_DEFAULT);
    EXPECT(ov_stream_send_video(1, OV_VIDEO_FORMAT_H264, NULL, sizeof(frame), 1, 0) == OV_ERROR_DEFAULT);
    EXPECT(ov_tessera_adapter(OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE, NULL) == OV_ERROR_DEFAULT);
    EXPECT(ov_post_file_close(1, NULL) == OV_ERROR_DEFAULT);
    EXPECT(ov_control(OV_CONTROL_STREAM_AUTO_SAVE, 1, (const char*)NULL) == OV_ERROR_DEFAULT);
    EXPECT(ov_destroy() == OV_ERROR_NONE);
    EXPECT(ov_stream_send_video(1, OV_VIDEO_FORMAT_H264, frame, sizeof(frame), 1, 0) == OV_ERROR_DEFAULT);

    if (failures == 0) printf("api_c_test: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
