/* Where the device connects and with which credentials: regions, IOT_Ioctl options, connection info. */
#ifndef TESSERA_CONN_H
#define TESSERA_CONN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    ZENQ_CLOUD_REGION_SHANGHAI = 0,
    ZENQ_CLOUD_REGION_SINGAPORE = 1,
    ZENQ_CLOUD_REGION_JAPAN = 2,
    ZENQ_CLOUD_REGION_USA_WEST = 3,
    ZENQ_CLOUD_REGION_GERMANY = 4,
    ZENQ_CLOUD_REGION_CUSTOM = 5,
    ZENQ_CLOUD_DOMAIN_MAX = 6
} ZENQ_CLOUD_REGION_TYPES;

/* IOT_Ioctl options; value points to the type given. */
typedef enum {
    IOTX_IOCTL_SET_REGION = 0,              /* int */
    IOTX_IOCTL_GET_REGION = 1,              /* int, out */
    IOTX_IOCTL_SET_MQTT_DOMAIN = 2,         /* const char*, at most 59 characters; selects the custom region */
    IOTX_IOCTL_SET_MQTT_PORT = 3,           /* uint16_t; 0 keeps 443 */
    IOTX_IOCTL_SET_CUSTOMIZE_INFO = 4,      /* uint16_t; non-zero: the custom MQTT domain is the host itself */
    IOTX_IOCTL_SET_HTTP_DOMAIN = 5,         /* const char*, at most 59 characters; selects the custom region */
    IOTX_IOCTL_SET_DYNAMIC_REGISTER = 6,    /* int */
    IOTX_IOCTL_GET_DYNAMIC_REGISTER = 7,    /* int, out */
    IOTX_IOCTL_RECV_EVENT_REPLY = 8,        /* int: subscribe to event-post replies */
    IOTX_IOCTL_RECV_PROP_REPLY = 9,         /* int: as option 8 */
    IOTX_IOCTL_SEND_PROP_SET_REPLY = 10,    /* int: answer property sets at once */
    IOTX_IOCTL_SET_SUBDEV_SIGN = 11,        /* accepted, no effect */
    IOTX_IOCTL_GET_SUBDEV_LOGIN = 12        /* accepted, no effect */
} iotx_ioctl_option_t;

#define ZENQ_CUSTOM_DOMAIN_MAXLEN 59
#define ZENQ_HOST_MAXLEN 127
#define ZENQ_CLIENT_ID_MAXLEN 255
#define ZENQ_USERNAME_MAXLEN 64
#define ZENQ_PASSWORD_MAXLEN 64

typedef struct {
    uint16_t port;
    char host_name[ZENQ_HOST_MAXLEN + 1];
    char client_id[ZENQ_CLIENT_ID_MAXLEN + 1];
    char username[ZENQ_USERNAME_MAXLEN + 1];
    char password[ZENQ_PASSWORD_MAXLEN + 1];
    const char* pub_key; /* trusted root certificate, PEM */
} zenq_conn_info_t, *zenq_conn_info_pt;

/* 0 or -1. */
int IOT_Ioctl(int option, void* value);

/* Stores the identity in the platform layer and computes the connection information; *info points to
 * the process's record, valid until IOT_ReleaseConnInfo or the next call. 0 or -1. */
int IOT_SetupConnInfo(const char* product_key, const char* device_name, const char* device_secret, void** info);
/* Forgets the computed connection information. */
void IOT_ReleaseConnInfo(void);

#ifdef __cplusplus
}
#endif

#endif
