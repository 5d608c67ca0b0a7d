/* RTMP publishing client: packages encoded frames into FLV tag bodies and reads what the server sends.
 * One context holds one connection; one thread sends, one reads, any thread may disconnect. */
#ifndef OV_RTMP_CLIENT_H
#define OV_RTMP_CLIENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    ZENQ_RTMP_SUCCESS = 0,
    ZENQ_RTMP_ILLEGAL_INPUT = -1,
    ZENQ_RTMP_MALLOC_FAILED = -2,
    ZENQ_RTMP_CONNECT_FAILED = -3,
    ZENQ_RTMP_IS_DISCONNECTED = -4,
    ZENQ_RTMP_UNSUPPORT_FORMAT = -5,
    ZENQ_RTMP_SEND_FAILED = -6,
    ZENQ_RTMP_READ_MESSAGE_FAILED = -7,
    ZENQ_RTMP_READ_TIMESTAMP_ERROR = -8,
    ZENQ_RTMP_SEND_DATA_LEN_ERROR = -9
} zenq_rtmp_error_e;

/* FLV 10.1 E.4.3.1 CodecID. */
typedef enum {
    ZENQ_RTMP_VIDEO_FORMAT_AVC = 7,
    ZENQ_RTMP_VIDEO_FORMAT_HEVC = 12
} zenq_rtmp_video_format_e;

/* FLV 10.1 E.4.2.1 SoundFormat. */
typedef enum {
    ZENQ_RTMP_AUDIO_FORMAT_ADPCM = 1,
    ZENQ_RTMP_AUDIO_FORMAT_G711A = 7,
    ZENQ_RTMP_AUDIO_FORMAT_G711U = 8,
    ZENQ_RTMP_AUDIO_FORMAT_AAC = 10
} zenq_rtmp_audio_format_e;

/* FLV 10.1 E.4.2.1 SoundRate. */
typedef enum {
    ZENQ_RTMP_AUDIO_RATE_5_5K = 0,
    ZENQ_RTMP_AUDIO_RATE_11K = 1,
    ZENQ_RTMP_AUDIO_RATE_22K = 2,
    ZENQ_RTMP_AUDIO_RATE_44K = 3
} zenq_rtmp_audio_rate_e;

/* ISO/IEC 14496-3 1.6.3.4 samplingFrequencyIndex. */
typedef enum {
    ZENQ_RTMP_AUDIO_EXTERN_RATE_96000 = 0,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_88200 = 1,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_64000 = 2,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_48000 = 3,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_44100 = 4,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_32000 = 5,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_24000 = 6,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_22050 = 7,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_16000 = 8,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_12000 = 9,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_11025 = 10,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_8000 = 11,
    ZENQ_RTMP_AUDIO_EXTERN_RATE_7350 = 12
} zenq_rtmp_audio_extern_rate_e;

typedef enum {
    ZENQ_RTMP_AUDIO_BIT_8BIT = 0,
    ZENQ_RTMP_AUDIO_BIT_16BIT = 1
} zenq_rtmp_audio_bit_e;

typedef enum {
    ZENQ_RTMP_AUDIO_CHANNEL_MONO = 0,
    ZENQ_RTMP_AUDIO_CHANNEL_STEREO = 1
} zenq_rtmp_audio_channel_e;

typedef struct {
    int timestamp_type;             /* 0: rebased to start at 1000 ms; non-zero: sent unchanged */
    uint32_t video_timestamp_base;  /* first video timestamp seen, 0 while not taken */
    uint32_t audio_timestamp_base;  /* first audio timestamp seen, 0 while not taken */
    uint32_t timestamp_error_count; /* frames refused for a bad timestamp; not copied in */
    double duration_s;              /* "duration" announced in the metadata */
    zenq_rtmp_video_format_e video_format;
    zenq_rtmp_audio_format_e audio_format;
    zenq_rtmp_audio_rate_e audio_rate;
    zenq_rtmp_audio_extern_rate_e audio_extern_rate;
    zenq_rtmp_audio_bit_e audio_bit;
    zenq_rtmp_audio_channel_e audio_channel;
    int stream_encrypt; /* non-zero: bodies are AES-128-CBC encrypted */
    uint8_t iv[17];     /* first 16 bytes used */
    uint8_t key[17];    /* first 16 bytes used */
} zenq_rtmp_config_s;

/* Callbacks of the read calls; any may be NULL, results are ignored. Strings are not terminated. */
typedef struct {
    void* arg;
    int (*onvideo)(const void* data, int len, uint32_t timestamp, void* arg);
    int (*onaudio)(const void* data, int len, uint32_t timestamp, void* arg);
    int (*onnotify)(const char* code, int code_len, const char* description, int description_len, void* arg);
    /* channels: the FLV channel bit (zenq_rtmp_audio_channel_e) for G.711, the AudioSpecificConfig
     * channel configuration (1, 2, ...) for AAC. */
    int (*onaudioheader)(zenq_rtmp_audio_format_e format, zenq_rtmp_audio_extern_rate_e rate,
                         zenq_rtmp_audio_bit_e bit, int channels, void* arg);
} zenq_rtmp_read_handler;

typedef struct rtmp_client_s rtmp_client_s;

/* Capacity of the code and description buffers of IOT_RTMP_ReadOnStatus, without the terminator. */
#define ZENQ_RTMP_STATUS_TEXT_MAX 256

int IOT_RTMP_Init(rtmp_client_s** context);
/* Frees the context; disconnect first. */
int IOT_RTMP_Deinit(rtmp_client_s* context);
int IOT_RTMP_SetConfig(rtmp_client_s* context, const zenq_rtmp_config_s* config);
int IOT_RTMP_SetReadCallback(rtmp_client_s* context, const zenq_rtmp_read_handler* handler);
int IOT_RTMP_SetVideoFormat(rtmp_client_s* context, zenq_rtmp_video_format_e format);

/* The URL text must stay valid and unchanged until the connection is closed. */
int IOT_RTMP_Connect(rtmp_client_s* context, char* url);
int IOT_RTMP_Disconnect(rtmp_client_s* context);
int IOT_RTMP_IsConnect(rtmp_client_s* context);

/* One Annex-B frame; may rewrite the bytes in front of the first slice. */
int IOT_RTMP_SendVideo(rtmp_client_s* context, uint8_t* data, uint32_t data_len, int key_frame, uint32_t timestamp);
int IOT_RTMP_SendAudio(rtmp_client_s* context, const uint8_t* data, uint32_t data_len, uint32_t timestamp);
int IOT_RTMP_SendMetadata(rtmp_client_s* context);
int IOT_RTMP_SendMessage(rtmp_client_s* context, const char* code, int code_len);

/* Reads one chunk. code and description must hold ZENQ_RTMP_STATUS_TEXT_MAX + 1 bytes; at most
 * ZENQ_RTMP_STATUS_TEXT_MAX bytes are copied, the lengths report the full texts, so a length above
 * ZENQ_RTMP_STATUS_TEXT_MAX marks a truncated text. */
int IOT_RTMP_ReadOnStatus(rtmp_client_s* context, char* code, int* code_len, char* description,
                          int* description_len);
int IOT_RTMP_ReadData(rtmp_client_s* context, const zenq_rtmp_read_handler* handler, void* param);
int IOT_RTMP_Read(rtmp_client_s* context);

int IOT_RTMP_CheckPlaying(rtmp_client_s* context);
int IOT_RTMP_CheckTalkReady(rtmp_client_s* context);

#ifdef __cplusplus
}
#endif

#endif /* OV_RTMP_CLIENT_H */
