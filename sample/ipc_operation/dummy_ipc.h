/*
 * The simulated camera: plays prepared media file sets in real time and hands their frames to the device
 * program's sinks. All functions may be called from any thread; the sinks run on the camera's own threads.
 */
#ifndef DUMMY_IPC_H
#define DUMMY_IPC_H

#include "orvia_ipc.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DUMMY_IPC_PATH_MAX_LEN 257

typedef struct {
    char source_file[DUMMY_IPC_PATH_MAX_LEN]; /* stream file prefix, NUL-terminated */
} DummyIpcMediaFile;

/* nal_type is the key-frame flag: 1 key frame, 0 other. */
typedef void (*dummy_ipc_video_handler)(int service_id, ov_video_format_e format, unsigned char* buffer,
                                        unsigned int buffer_size, unsigned int timestamp_ms, int nal_type);
typedef void (*dummy_ipc_audio_handler)(int service_id, ov_audio_format_e format, unsigned char* buffer,
                                        unsigned int buffer_size, unsigned int timestamp_ms);
/* id is null for automatic pictures. */
typedef void (*dummy_ipc_picture_handler)(unsigned char* buffer, unsigned int length, ov_event_type_e type,
                                          const char* id);
typedef void (*dummy_ipc_set_property_handler)(const char* key, const char* value);

/* Copied at start. Source lists are used only with more than one entry: live entry 0 is the main stream,
 * entry 1 the sub stream; recordings play in list order. Otherwise the default files are used. */
typedef struct {
    unsigned int live_num;
    DummyIpcMediaFile* live_source;
    unsigned int vod_num;
    DummyIpcMediaFile* vod_source;
    char* picture_source; /* null: "1.jpg" */
    unsigned int picture_interval_s;
    dummy_ipc_video_handler video_handler;             /* required */
    dummy_ipc_audio_handler audio_handler;             /* required */
    dummy_ipc_picture_handler picture_handler;         /* required */
    dummy_ipc_set_property_handler set_property_handler; /* required */
} DummyIpcConfig;

typedef struct {
    int service_id;
    unsigned int stream_type;       /* stream change: 0 sub stream, other main stream */
    unsigned int seek_timestamp_ms; /* by file: the file's own time; by time: from the first recording's start */
    unsigned int base_time_ms;      /* by file: added to every delivered time stamp */
    unsigned int speed;             /* 1..16 */
    unsigned int key_only;          /* non-zero: key frames only */
    char source_file[DUMMY_IPC_PATH_MAX_LEN];
} DummyIpcMediaParam;

typedef enum {
    DUMMY_IPC_MEDIA_START = 0,
    DUMMY_IPC_MEDIA_PAUSE = 1,
    DUMMY_IPC_MEDIA_UNPAUSE = 2,
    DUMMY_IPC_MEDIA_STOP = 3,
    DUMMY_IPC_MEDIA_SEEK = 4,
    DUMMY_IPC_MEDIA_REQUEST_I_FRAME = 5,
    DUMMY_IPC_MEDIA_CHANGE_STREAM = 6,
    DUMMY_IPC_MEDIA_SET_PARAM = 7,
} DummyIpcMediaCmd;

/* 0 when started (or already running), -1 for a bad configuration or missing or invalid files. */
int dummy_ipc_start(const DummyIpcConfig* config);
void dummy_ipc_stop(void);

/* The functions below return -1 before a successful start and for a null param. */
int dummy_ipc_live(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param);
int dummy_ipc_vod_by_file(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param);
int dummy_ipc_vod_by_utc(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param);
/* Lists every recording back to back from start_time (seconds) through on_complete(count, id, records). */
int dummy_ipc_report_vod_list(unsigned int start_time, unsigned int stop_time, int num, const char* id,
                              ov_query_storage_record_response_cb on_complete);
int dummy_ipc_get_live_media_param(ov_video_param_s* video, ov_audio_param_s* audio, double* duration);
int dummy_ipc_vod_get_media_param(ov_video_param_s* video, ov_audio_param_s* audio, double* duration);
/* Delivers the picture now, on the caller's thread, as OV_TRIGGER_PIC with this id. */
int dummy_ipc_capture(const char* id);
int dummy_ipc_set_property(const char* key, const char* value);
void dummy_ipc_get_all_property(void);

#ifdef __cplusplus
}
#endif

#endif /* DUMMY_IPC_H */
