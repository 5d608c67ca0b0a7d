/* Thing-model device API of the cloud device SDK: properties, events, services, RRPC, time, firmware. */
#ifndef TESSERA_API_H
#define TESSERA_API_H

#ifdef __cplusplus
extern "C" {
#endif

#define ZENQ_TESSERA_DEV_TYPE_MASTER 0

typedef struct {
    char product_key[21];
    char product_secret[65];
    char device_name[33];
    char device_secret[65];
} zenq_tessera_dev_meta_info_t;

typedef enum {
    ITM_MSG_POST_PROPERTY = 0,
    ITM_MSG_DEVICEINFO_UPDATE = 1,
    ITM_MSG_DEVICEINFO_DELETE = 2,
    ITM_MSG_POST_RAW_DATA = 3,
    ITM_MSG_LOGIN = 4,
    ITM_MSG_LOGOUT = 5,
    ITM_MSG_DELETE_TOPO = 6,
    ITM_MSG_QUERY_TIMESTAMP = 7,
    ITM_MSG_QUERY_TOPOLIST = 8,
    ITM_MSG_QUERY_FOTA_DATA = 9,
    ITM_MSG_QUERY_COTA_DATA = 10,
    ITM_MSG_REQUEST_COTA = 11,
    ITM_MSG_REQUEST_FOTA_IMAGE = 12
} zenq_tessera_msg_type_t;

/* Returns the device id (0 for the master device) or -1. Only one master device per process. */
int IOT_Tessera_Open(int dev_type, void* meta_info);
/* Connects (10 s budget) and subscribes the device's topics. 0 or -1. */
int IOT_Tessera_Connect(int devid);
/* Runs the MQTT client for timeout_ms, then hands up to 50 queued events to their handlers. */
void IOT_Tessera_Yield(int timeout_ms);
/* Property post: its message id. Device information and raw data: 0. -1 on failure. */
int IOT_Tessera_Report(int devid, int msg_type, unsigned char* payload, int payload_len);
/* Time request: 0; firmware download into buffer (length bytes per piece): 0, -1, -2. */
int IOT_Tessera_Query(int devid, int msg_type, unsigned char* payload, int payload_len);
/* Event post: its message id, or -1. */
int IOT_Tessera_TriggerEvent(int devid, char* eventid, int eventid_len, char* payload, int payload_len);
/* Closes the device and frees the thing-model layer. 0 or -1 (while a yield runs, or no device). */
int IOT_Tessera_Close(int devid);

/* Takes the next upstream message id (post-increment of the process-wide counter, from 0). */
int IOT_Tessera_NextReportId(void);

/* Event handlers, one per kind; registering again replaces the handler. Texts given with a length are
 * not NUL-terminated at that length; request and payload texts are NUL-terminated copies. A service
 * handler may set *response to a text allocated with HAL_Malloc; the SDK publishes and frees it. */
typedef int (*zenq_connect_succ_handler_t)(void);
typedef int (*zenq_disconnected_handler_t)(void);
typedef int (*zenq_service_request_handler_t)(const int devid, const char* id, const int id_len,
                                              const char* serviceid, const int serviceid_len, const char* request,
                                              const int request_len, char** response, int* response_len);
typedef int (*zenq_property_set_handler_t)(const int devid, const char* request, const int request_len);
typedef int (*zenq_timestamp_reply_handler_t)(const char* timestamp);
typedef int (*zenq_fota_handler_t)(int type, const char* version);
typedef int (*zenq_event_notify_handler_t)(const int devid, const char* request, const int request_len);
typedef int (*zenq_orvia_handler_t)(const int devid, const char* serviceid, const int serviceid_len,
                                    const char* payload, const int payload_len);
typedef int (*zenq_initialize_completed_handler_t)(const int devid);
typedef int (*zenq_mqtt_connect_succ_handler_t)(void);

void zenq_register_for_ITE_CONNECT_SUCC(zenq_connect_succ_handler_t handler);
void zenq_register_for_ITE_DISCONNECTED(zenq_disconnected_handler_t handler);
void zenq_register_for_ITE_SERVICE_REQUST(zenq_service_request_handler_t handler);
void zenq_register_for_ITE_PROPERTY_SET(zenq_property_set_handler_t handler);
void zenq_register_for_ITE_TIMESTAMP_REPLY(zenq_timestamp_reply_handler_t handler);
void zenq_register_for_ITE_FOTA(zenq_fota_handler_t handler);
void zenq_register_for_ITE_EVENT_NOTIFY(zenq_event_notify_handler_t handler);
void zenq_register_for_ITE_ORVIA(zenq_orvia_handler_t handler);
void zenq_register_for_ITE_INITIALIZE_COMPLETED(zenq_initialize_completed_handler_t handler);
void zenq_register_for_ITE_MQTT_CONNECT_SUCC(zenq_mqtt_connect_succ_handler_t handler);

#ifdef __cplusplus
}
#endif

#endif
