// Responses as they would come from the socket: the input is cut into reads, then the peer closes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "tessera_httpclient.h"
#include "tessera_log.h"

namespace {

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

FuzzInput g_input;

// Read sizes vary with the input so that every split point gets tried.
int FuzzRead(tessera_net_rec*, char* buffer, uint32_t len, uint32_t) {
    if (g_input.pos >= g_input.size) return -2;
    size_t count = 1 + g_input.data[g_input.pos] % 64;
    count = std::min<size_t>({count, len, g_input.size - g_input.pos});
    memcpy(buffer, g_input.data + g_input.pos, count);
    g_input.pos += count;
    return static_cast<int>(count);
}

int FuzzWrite(tessera_net_rec*, const char*, uint32_t len, uint32_t) { return static_cast<int>(len); }
int FuzzConnect(tessera_net_rec* net) {
    net->handle = 1;
    return 0;
}
int FuzzDisconnect(tessera_net_rec* net) {
    net->handle = 0;
    return 0;
}

}  // namespace

// The SDK's log lines would only slow the search down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    IOT_SetLogLevel(TESSERA_LOG_NONE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int capacity = 2 + data[0] % 200;  // small buffers reach the piece-by-piece paths
    g_input = {data + 1, size - 1, 0};
    http_conn_rec ctx{};
    ctx.conn.read = FuzzRead;
    ctx.conn.write = FuzzWrite;
    ctx.conn.connect = FuzzConnect;
    ctx.conn.disconnect = FuzzDisconnect;
    ctx.conn.handle = 1;
    std::vector<char> reply(static_cast<size_t>(capacity));
    http_exchange_rec exchange{};
    exchange.reply_buf = reply.data();
    exchange.reply_capacity = capacity;
    for (int call = 0; call < 100000; ++call) {
        int ret = httpclient_recv_response(&ctx, 1000, &exchange);
        if (ret != 1) break;
        if (strlen(reply.data()) >= static_cast<size_t>(capacity)) __builtin_trap();
    }
    return 0;
}
