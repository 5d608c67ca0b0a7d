/*
 * The camera SDK's public interface.
 *
 * Every function returns int: 0 (OV_ERROR_NONE) on success, -1 on failure; the frame functions may also
 * return OV_WARN_BUF_FULL when the send buffer is full and the frame must be sent again later.
 * All functions may be called from any thread, except that ov_init and ov_destroy must not overlap any
 * other ov_ call. Callbacks marked "asynchronous" run on the SDK's user task thread, one at a time, in the
 * order the SDK produced them; the others run on the SDK thread that needs them.
 */
#ifndef ORVIA_IPC_H
#define ORVIA_IPC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    OV_WARN_BUF_FULL = 1,
    OV_ERROR_NONE = 0,
    OV_ERROR_DEFAULT = -1,
    OV_ERROR_ILLEGAL_INPUT = -2,
} ov_error_e;

typedef enum {
    OV_LOG_ERROR = 0,
    OV_LOG_WARN = 1,
    OV_LOG_INFO = 2,
    OV_LOG_DEBUG = 3,
    OV_LOG_VERBOSE = 4,
    OV_LOG_MAX = 5,
} ov_log_level_e;

typedef enum {
    /* No behaviour of its own: the default printer keeps its level. */
    OV_LOG_DESTINATION_FILE = 0,
    /* The default printer, with log_level as its threshold. */
    OV_LOG_DESTINATION_STDOUT = 1,
    /* Every record at every level goes to log_cb. */
    OV_LOG_DESTINATION_USER_DEFINE = 2,
    OV_LOG_DESTINATION_MAX = 3,
} ov_log_destination;

typedef enum {
    OV_VIDEO_FORMAT_H264 = 0,
    OV_VIDEO_FORMAT_H265 = 1,
} ov_video_format_e;

typedef enum {
    OV_AUDIO_FORMAT_PCM = 0,
    OV_AUDIO_FORMAT_G711A = 1,
    OV_AUDIO_FORMAT_AAC = 2,
} ov_audio_format_e;

/* The value is the MPEG-4 Audio sampling frequency index of the rate (ISO/IEC 14496-3, 1.6.3.4). */
typedef enum {
    OV_AUDIO_SAMPLE_RATE_96000 = 0,
    OV_AUDIO_SAMPLE_RATE_88200 = 1,
    OV_AUDIO_SAMPLE_RATE_64000 = 2,
    OV_AUDIO_SAMPLE_RATE_48000 = 3,
    OV_AUDIO_SAMPLE_RATE_44100 = 4,
    OV_AUDIO_SAMPLE_RATE_32000 = 5,
    OV_AUDIO_SAMPLE_RATE_24000 = 6,
    OV_AUDIO_SAMPLE_RATE_22050 = 7,
    OV_AUDIO_SAMPLE_RATE_16000 = 8,
    OV_AUDIO_SAMPLE_RATE_12000 = 9,
    OV_AUDIO_SAMPLE_RATE_11025 = 10,
    OV_AUDIO_SAMPLE_RATE_8000 = 11,
    OV_AUDIO_SAMPLE_RATE_7350 = 12,
} ov_audio_sample_rate_e;

typedef enum {
    OV_AUDIO_SAMPLE_BITS_8BIT = 0,
    OV_AUDIO_SAMPLE_BITS_16BIT = 1,
} ov_audio_sample_bits_e;

typedef enum {
    OV_AUDIO_CHANNEL_MONO = 0,
    OV_AUDIO_CHANNEL_STEREO = 1,
} ov_audio_channel_e;

typedef enum {
    OV_STREAM_CMD_LIVE = 0,
    OV_STREAM_CMD_STORAGE_RECORD_BY_FILE = 1,
    OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME = 2,
    OV_STREAM_CMD_PRE_EVENT_RECORD = 3,
} ov_stream_type_e;

typedef enum {
    OV_STORAGE_RECORD_START = 0,
    OV_STORAGE_RECORD_PAUSE = 1,
    OV_STORAGE_RECORD_UNPAUSE = 2,
    OV_STORAGE_RECORD_SEEK = 3,
    OV_STORAGE_RECORD_STOP = 4,
    OV_STORAGE_RECORD_SET_PARAM = 5,
    OV_LIVE_REQUEST_I_FRAME = 6,
} ov_on_push_streaming_cmd_type_e;

typedef enum {
    OV_TRIGGER_PIC = 0,
    OV_EVENT_MOVEMENT = 1,
    OV_EVENT_SOUND = 2,
    OV_EVENT_HUMAN = 3,
    OV_EVENT_PET = 4,
    OV_EVENT_CROSS_LINE = 5,
    OV_EVENT_REGIONAL_INVASION = 6,
    OV_EVENT_FALL = 7,
    OV_EVENT_FACE = 8,
    OV_EVENT_SMILING = 9,
    OV_EVENT_ABNORMAL_SOUND = 10,
    OV_EVENT_CRY = 11,
    OV_EVENT_LAUGH = 12,
} ov_event_type_e;

typedef enum {
    OV_CLOUD_EVENT_MASK = 0,
} ov_cloud_event_type_e;

typedef enum {
    OV_STORAGE_RECORD_PLAN = 0,
    OV_STORAGE_RECORD_ALARM = 1,
    OV_STORAGE_RECORD_INITIATIVE = 2,
    OV_STORAGE_RECORD_ANY = 99,
} ov_storage_record_type_e;

typedef enum {
    OV_TESSERA_ADAPTER_TYPE_TSL_PROPERTY = 0,
    OV_TESSERA_ADAPTER_TYPE_TSL_SERVICE = 1,
    OV_TESSERA_ADAPTER_TYPE_ORVIA = 2,
    OV_TESSERA_ADAPTER_TYPE_CONNECTED = 3,
} ov_tessera_adapter_type_s;

typedef enum {
    OV_CONTROL_LOG_LEVEL = 0,         /* int level (0..4; others ignored) */
    OV_CONTROL_STREAM_AUTO_CHECK = 1, /* int on */
    OV_CONTROL_STREAM_AUTO_SAVE = 2,  /* int on, then const char* path when on is non-zero */
} ov_control_type_e;

typedef struct {
    ov_video_format_e format;
    uint32_t fps;
    uint32_t key_frame_interval_ms; /* distance between key frames */
} ov_video_param_s;

typedef struct {
    ov_audio_format_e format;
    ov_audio_sample_rate_e sample_rate;
    ov_audio_sample_bits_e sample_bits;
    ov_audio_channel_e channel;
} ov_audio_param_s;

/* Handed to the start-streaming callback; fields the stream type does not use are zero. */
typedef struct {
    int pre_time;           /* pre-event recording the push is to carry, as the cloud gives it */
    char file_name[256];    /* recording file to play, NUL-terminated */
    int timestamp_offset;   /* seconds into the file at which to begin */
    int timestamp_base;     /* the file's start relative to the beginning of the requested range, seconds */
    uint32_t start_time;    /* seconds: beginning of a time-range playback */
    uint32_t stop_time;     /* seconds: its end */
    uint32_t seek_time;     /* seconds: the seek position given with the request */
} ov_stream_param_s;

/* Zeroed; only the part for the command is filled. */
typedef struct {
    struct {
        uint32_t timestamp;
    } seek;
    struct {
        uint32_t speed;
        uint32_t key_only; /* 0 or 1 */
    } set_param;
} ov_on_push_streaming_cmd_param_s;

/* One recording in a list answer. */
typedef struct {
    int start_time;  /* UTC seconds */
    int stop_time;   /* UTC seconds */
    int file_size;   /* bytes */
    char file_name[65];
    ov_storage_record_type_e record_type;
} ov_query_storage_record_response_s;

typedef struct {
    struct {
        void* reserved; /* always null */
    } mask;
} ov_cloud_event_param_s;

/* One message handed in by the cloud client. The texts need not be NUL-terminated at their lengths. */
typedef struct {
    int dev_id;
    const char* id; /* message id */
    int id_len;
    const char* service_id;
    int service_id_len;
    const char* request; /* the payload */
    int request_len;
} ov_tessera_adapter_property_s;

typedef void (*ov_log_cb)(ov_log_level_e level, const char* file, int line, const char* fmt, ...);

/* Asynchronous. The device answers with ov_stream_send_config and then frames for service_id. */
typedef int (*ov_start_push_streaming_cb)(int service_id, ov_stream_type_e type, const ov_stream_param_s* param);
/* Asynchronous. */
typedef int (*ov_stop_push_streaming_cb)(int service_id);
/* Asynchronous. */
typedef int (*ov_on_push_streaming_cmd_cb)(int service_id, ov_on_push_streaming_cmd_type_e cmd,
                                           const ov_on_push_streaming_cmd_param_s* param);
/* Asynchronous. The device starts its side with ov_voice_intercom_start_service. */
typedef int (*ov_start_voice_intercom_cb)(int service_id);
/* Asynchronous. */
typedef int (*ov_stop_voice_intercom_cb)(int service_id);
/* Synchronous, on the intercom receive thread. */
typedef int (*ov_voice_intercom_receive_metadata_cb)(int service_id, const ov_audio_param_s* audio_param);
/* Synchronous, on the intercom receive thread. */
typedef void (*ov_voice_intercom_receive_data_cb)(const char* buffer, uint32_t buffer_size);

/* The device's answer to a recording list query: num records, with the id of the question. */
typedef int (*ov_query_storage_record_response_cb)(int num, const char* id,
                                                   const ov_query_storage_record_response_s* records);
/* Synchronous. At most num recordings between the two UTC times, of the given type (OV_STORAGE_RECORD_ANY
 * for all); answered, in the call or later, by on_complete with the same id. */
typedef void (*ov_query_storage_record_cb)(uint32_t start_time, uint32_t stop_time, int num,
                                           ov_storage_record_type_e type, const char* id,
                                           ov_query_storage_record_response_cb on_complete);

/* days: 31 ints, one per day from the 1st, non-zero for a day with recordings. */
typedef int (*ov_query_storage_record_by_month_response_cb)(const char* id, const int* days);
/* Synchronous, on the cloud client's receive thread. */
typedef void (*ov_query_storage_record_by_month_cb)(const char* month, const char* id,
                                                    ov_query_storage_record_by_month_response_cb on_complete);

/* Asynchronous. The device answers with ov_post_alarm_image of type OV_TRIGGER_PIC and id trigger_id. */
typedef int (*ov_trigger_pic_capture_cb)(const char* trigger_id);
/* Never called by this version of the SDK. */
typedef int (*ov_trigger_record_cb)(int type, int duration, int pre_duration);
/* Asynchronous; param is a zeroed record. */
typedef int (*ov_cloud_event_cb)(ov_cloud_event_type_e type, const ov_cloud_event_param_s* param);

/* The start-up configuration; copied at ov_init, the caller's record is not kept. */
typedef struct {
    char product_key[21];   /* at most 20 characters */
    char device_name[33];   /* at most 32 characters */
    char device_secret[65]; /* at most 64 characters */
    ov_log_level_e log_level;
    ov_log_destination log_dest;
    ov_log_cb log_cb; /* required with OV_LOG_DESTINATION_USER_DEFINE, ignored otherwise */
    /* OV_STREAM_CMD_STORAGE_RECORD_BY_FILE or OV_STREAM_CMD_STORAGE_RECORD_BY_UTC_TIME */
    ov_stream_type_e storage_record_mode;
    uint32_t live_p2p_num;              /* logged only: one peer-to-peer channel is served */
    uint32_t storage_record_source_num; /* simultaneous playback sessions, clamped to 1..8 */
    uint32_t stream_auto_check;         /* non-zero: stream checks on */
    uint32_t stream_auto_save;          /* non-zero: pushed streams are saved under stream_auto_save_path */
    char stream_auto_save_path[33];

    /* Required, except cloud_event_cb. */
    ov_start_push_streaming_cb start_push_streaming_cb;
    ov_stop_push_streaming_cb stop_push_streaming_cb;
    ov_on_push_streaming_cmd_cb on_push_streaming_cmd_cb;
    ov_start_voice_intercom_cb start_voice_intercom_cb;
    ov_stop_voice_intercom_cb stop_voice_intercom_cb;
    ov_voice_intercom_receive_metadata_cb voice_intercom_receive_metadata_cb;
    ov_voice_intercom_receive_data_cb voice_intercom_receive_data_cb;
    ov_query_storage_record_cb query_storage_record_cb;
    ov_query_storage_record_by_month_cb query_storage_record_by_month_cb;
    ov_trigger_pic_capture_cb trigger_pic_capture_cb;
    ov_trigger_record_cb trigger_record_cb;
    ov_cloud_event_cb cloud_event_cb; /* optional */
} ov_config_s;

/* Starts the SDK's services. 0, or -1 with every service taken down again. A second call while running
 * returns 0 and changes nothing but the log sink and level. */
int ov_init(const ov_config_s* config);
/* Stops the SDK; may be called in any state. Always 0. */
int ov_destroy(void);

int ov_stream_send_config(int service_id, uint32_t bitrate_kbps, double duration, const ov_video_param_s* video_param,
                          const ov_audio_param_s* audio_param);
int ov_stream_send_video(int service_id, ov_video_format_e format, unsigned char* buf, uint32_t len, int key_frame,
                         uint32_t timestamp_ms);
/* format is logged only: the stream's audio format is the one given with ov_stream_send_config. */
int ov_stream_send_audio(int service_id, ov_audio_format_e format, unsigned char* buf, uint32_t len,
                         uint32_t timestamp_ms);

int ov_post_alarm_image(const char* buffer, int buffer_len, ov_event_type_e type, const char* id);

int ov_voice_intercom_start_service(int service_id, const ov_audio_param_s* audio_param);
int ov_voice_intercom_send_audio(int service_id, const char* buffer, int buffer_len, uint32_t timestamp_ms);
int ov_voice_intercom_stop_service(int service_id);

/* Hands a cloud-client event or message to the SDK. in may be null for OV_TESSERA_ADAPTER_TYPE_CONNECTED. */
int ov_tessera_adapter(ov_tessera_adapter_type_s type, const ov_tessera_adapter_property_s* in);

/* The playback of filename for service_id has ended. */
int ov_post_file_close(int service_id, const char* filename);
/* The pre-event recording of service_id has been delivered. */
int ov_post_pre_complete(int service_id);

/* Changes a setting at run time; the further arguments depend on type (see ov_control_type_e). */
int ov_control(ov_control_type_e type, ...);

#ifdef __cplusplus
}
#endif

#endif /* ORVIA_IPC_H */
