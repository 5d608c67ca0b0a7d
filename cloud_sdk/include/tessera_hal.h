/* Platform layer of the cloud device SDK: every OS facility the SDK uses goes through these calls. */
#ifndef TESSERA_HAL_H
#define TESSERA_HAL_H

#include <stdarg.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- memory, time, random numbers, text ---- */
void* HAL_Malloc(uint32_t size);
void* HAL_Calloc(uint32_t count, uint32_t size);
void* HAL_Realloc(void* ptr, uint32_t size);
void HAL_Free(void* ptr);

uint64_t HAL_UptimeMs(void); /* monotonic clock */
void HAL_SleepMs(uint32_t ms);

void HAL_Srandom(uint32_t seed);
uint32_t HAL_Random(uint32_t region); /* a value below region; 0 when region is 0 */

int HAL_Snprintf(char* str, int len, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int HAL_Vsnprintf(char* str, int len, const char* fmt, va_list ap);
void HAL_Printf(const char* fmt, ...) __attribute__((format(printf, 1, 2))); /* stdout, flushed */

/* ---- mutexes (non-recursive) ---- */
void* HAL_MutexCreate(void); /* NULL on failure */
void HAL_MutexDestroy(void* mutex);
void HAL_MutexLock(void* mutex);
void HAL_MutexUnlock(void* mutex);

/* ---- threads ---- */
typedef struct {
    int priority;
    void* stack_addr;
    int stack_size;
    int detach_state;
    const char* name;
} hal_os_thread_param_t; /* accepted for compatibility; ignored */

/* Starts routine(arg) on a new thread; *stack_used (when given) is set to 0. Returns 0 or -1.
 * The thread stays joinable until HAL_ThreadDetach or HAL_ThreadDelete: exactly one of the two must be
 * called for every handle. */
int HAL_ThreadCreate(void** thread_handle, void* (*routine)(void*), void* arg, hal_os_thread_param_t* param,
                     int* stack_used);
/* Lets the thread run on its own; the handle is finished with. */
void HAL_ThreadDetach(void* thread_handle);
/* Waits until the thread has ended (nothing for NULL); the handle is finished with. */
void HAL_ThreadDelete(void* thread_handle);

/* ---- device identity ---- */
#define HAL_PRODUCT_KEY_LEN 20
#define HAL_DEVICE_NAME_LEN 32
#define HAL_DEVICE_SECRET_LEN 64
#define HAL_PRODUCT_SECRET_LEN 64
#define HAL_DEVICE_ID_LEN 63
#define HAL_PARTNER_ID_LEN 64
#define HAL_MODULE_ID_LEN 64
#define HAL_FIRMWARE_VERSION_LEN 32
#define HAL_NETIF_INFO_LEN 64

/* Setters store a text of at most the length above and return its length; a NULL or longer text gives -1
 * and keeps the old value. Getters copy into a buffer of at least length + 1 bytes and return the length. */
int HAL_SetProductKey(const char* product_key);
int HAL_SetDeviceName(const char* device_name);
int HAL_SetDeviceSecret(const char* device_secret);
int HAL_SetProductSecret(const char* product_secret);
int HAL_GetProductKey(char* product_key);
int HAL_GetDeviceName(char* device_name);
int HAL_GetDeviceSecret(char* device_secret);
int HAL_GetProductSecret(char* product_secret);
int HAL_GetDeviceID(char* device_id); /* product key "." device name */
int HAL_GetPartnerID(char* partner_id);
int HAL_GetModuleID(char* module_id);
int HAL_GetFirmwareVersion(char* version);
int HAL_GetNetifInfo(char* netif_info);

/* Cloud time: HAL_UTC_Set takes the cloud's time in ms; HAL_UTC_Get gives the wall clock corrected by it. */
void HAL_UTC_Set(int64_t cloud_ms);
int64_t HAL_UTC_Get(void);

/* ---- trusted root certificate ---- */
/* The root certificate built into the SDK (PEM), the default trust anchor of every TLS connection. */
extern const char HAL_BUILTIN_ROOT_CA_PEM[];
/* Replaces the trusted root by the caller's PEM text (copied); NULL restores the built-in one.
 * Returns 0, or -1 when the text holds no certificate that parses. Call before connecting. */
int IOT_SetCACert(const char* pem);
/* The trusted root in force: the caller's or the built-in one. Stays valid for the process's life. */
const char* HAL_GetCACert(void);

/* ---- name resolution ---- */
#define HAL_DNS_SERVER_MAX 3
#define HAL_FALLBACK_ADDRESS_MAX 3
/* DNS servers asked for A records before the system resolver, as "a.b.c.d" or "a.b.c.d:port" (default
 * port 53); at most three; count 0 (the default) means only the system resolver is used. They are never
 * asked about a numeric host or "localhost". Returns 0, or -1 for a bad entry (nothing changes). */
int HAL_SetDnsServers(const char* const* servers, int count);
/* Dotted IPv4 addresses tried when every configured DNS server failed; at most three (default none). */
int HAL_SetFallbackAddresses(const char* const* addresses, int count);

/* ---- TLS 1.2 connection (mbedtls) ---- */
/* Connects and verifies the server against ca_crt (PEM, ca_crt_len bytes including the NUL) and the name
 * host. Returns a handle, or 0 on any failure. */
uintptr_t HAL_SSL_Establish(const char* host, uint16_t port, const char* ca_crt, uint32_t ca_crt_len);
/* Reads until len bytes arrived, the time-out passed or the peer stopped: the count read when above 0;
 * otherwise 0 (time-out), -2 (the peer closed) or -1 (error). Once closed or broken, stays so. */
int HAL_SSL_Read(uintptr_t handle, char* buf, int len, int timeout_ms);
/* Writes until len bytes are written or timeout_ms passed: the count written, or the first write's
 * negative error when nothing was written. */
int HAL_SSL_Write(uintptr_t handle, const char* buf, int len, int timeout_ms);
/* Closes and frees the connection. 0, or -1 for a null handle. */
int HAL_SSL_Destroy(uintptr_t handle);

/* ---- key-value store (file "tessera_kv.bin") ---- */
#define HAL_KV_KEY_MAX 127
#define HAL_KV_VALUE_MAX 512
/* The file used from now on (default "tessera_kv.bin" in the working directory). */
int HAL_Kv_SetPath(const char* path);
int HAL_Kv_Set(const char* key, const void* value, int len); /* stores min(len, 512) bytes */
int HAL_Kv_Get(const char* key, void* buffer, int* len);     /* *len: capacity in, bytes copied out */
int HAL_Kv_Del(const char* key);

/* ---- firmware image file ---- */
/* The image file used from now on (default "/tmp/vantroota.bin"). */
int HAL_Firmware_SetPath(const char* path);
int HAL_Firmware_Persistence_Start(void); /* opens (truncates) the image file; 0 or -1 */
int HAL_Firmware_Persistence_Write(const char* buffer, uint32_t len);
int HAL_Firmware_Persistence_Stop(void);

#ifdef __cplusplus
}
#endif

#endif
