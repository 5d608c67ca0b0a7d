/* MQTT 3.1.1 client of the cloud device SDK: one TLS connection per process to the cloud's broker. */
#ifndef TESSERA_MQTT_H
#define TESSERA_MQTT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    ZENQ_MQTT_QOS0 = 0,
    ZENQ_MQTT_QOS1 = 1,
    ZENQ_MQTT_QOS2 = 2
} zenq_mqtt_qos_t;

/* One publish, sent or received. Received topics and payloads are not NUL-terminated. */
typedef struct {
    uint16_t packet_id;
    uint8_t qos;
    uint8_t dup;
    uint8_t retain;
    uint16_t topic_len;
    uint32_t payload_len;
    const char* ptopic;
    const char* payload;
} zenq_mqtt_topic_info_t;

/* Events handed to the client's event handler. For the acknowledgement and time-out events msg is the
 * packet id (cast to uintptr_t); for ZENQ_MQTT_EVENT_PUBLISH_RECEIVED it is a zenq_mqtt_topic_info_t*. */
typedef enum {
    ZENQ_MQTT_EVENT_DISCONNECT = 1,
    ZENQ_MQTT_EVENT_RECONNECT = 2,
    ZENQ_MQTT_EVENT_SUBCRIBE_SUCCESS = 3,
    ZENQ_MQTT_EVENT_SUBCRIBE_TIMEOUT = 4,
    ZENQ_MQTT_EVENT_SUBCRIBE_NACK = 5,
    ZENQ_MQTT_EVENT_UNSUBCRIBE_SUCCESS = 6,
    ZENQ_MQTT_EVENT_UNSUBCRIBE_TIMEOUT = 7,
    ZENQ_MQTT_EVENT_PUBLISH_SUCCESS = 9,
    ZENQ_MQTT_EVENT_PUBLISH_RECEIVED = 12,
    ZENQ_MQTT_EVENT_BUFFER_OVERFLOW = 13
} zenq_mqtt_event_type_t;

typedef struct {
    int event_type; /* zenq_mqtt_event_type_t */
    void* msg;
} zenq_mqtt_event_msg_t;

/* Event handlers and topic handlers share this type; they run on the thread that calls IOT_MQTT_Yield. */
typedef void (*zenq_mqtt_event_handle_func_fpt)(void* pcontext, void* pclient, zenq_mqtt_event_msg_t* msg);

typedef struct {
    uint16_t port;
    const char* host;
    const char* client_id;
    const char* username;
    const char* password;
    const char* pub_key; /* trusted root certificate, PEM; NULL: the SDK's trusted root */
    uint8_t clean_session;
    uint32_t request_timeout_ms;    /* 500..5000, otherwise 2000 */
    uint32_t keepalive_interval_ms; /* clamped to 30..120 s */
    uint32_t write_buf_size;        /* largest packet sent */
    uint32_t read_buf_size;         /* largest packet received; longer ones are dropped */
    struct {
        zenq_mqtt_event_handle_func_fpt h_fp;
        void* pcontext;
    } handle_event;
} zenq_mqtt_init_params_t;

/* Builds and connects the process's client (a second call returns the existing one). NULL params: the
 * connection information of IOT_SetupConnInfo and the default parameters. NULL on failure. */
void* IOT_MQTT_Construct(zenq_mqtt_init_params_t* params);
/* Disconnects and frees the client; *handle is cleared. 0, or -1 for an unknown handle. */
int IOT_MQTT_Destroy(void** handle);
/* Runs the client (keep-alive, reading, reconnection, resending) for timeout_ms. */
int IOT_MQTT_Yield(void* handle, int timeout_ms);
/* 1 while connected, else 0. */
int IOT_MQTT_CheckStateNormal(void* handle);
/* Subscribes; a packet id above 0 when sent, 0 when already subscribed with that handler or kept until
 * the client exists, negative on failure. */
int IOT_MQTT_Subscribe(void* handle, const char* topic_filter, int qos, zenq_mqtt_event_handle_func_fpt topic_handle_func,
                       void* pcontext);
/* A packet id above 0, or negative on failure. */
int IOT_MQTT_Unsubscribe(void* handle, const char* topic_filter);
/* The packet id for QoS 1, 0 for QoS 0, negative on failure. A NULL handle means the process's client. */
int IOT_MQTT_Publish(void* handle, const char* topic, zenq_mqtt_topic_info_t* topic_msg);

#ifdef __cplusplus
}
#endif

#endif
