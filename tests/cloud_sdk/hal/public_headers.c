/* The SDK's public headers must compile as C. */
#include "tessera_hal.h"
#include "tessera_httpclient.h"
#include "tessera_log.h"

int cloud_headers_compile_as_c(void) {
    http_exchange_rec exchange = {0};
    tessera_log_record record = {0};
    exchange.body_length = -1;
    record.level = TESSERA_LOG_INFO;
    return exchange.body_length + record.level + (int)sizeof(hal_os_thread_param_t) * 0;
}
