// An in-memory transport for the HTTP client: reads hand out scripted pieces, writes are recorded.
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "tessera_httpclient.h"

namespace testsupport {

class ScriptedTransport {
public:
    static constexpr int kClosed = -2;

    // Each piece is what one read may return at most; after the last piece the peer has closed.
    explicit ScriptedTransport(std::deque<std::string> pieces = {}) : pieces_(std::move(pieces)) {}

    // Wires the context to this transport as if connected.
    void Attach(http_conn_rec* ctx) {
        memset(ctx, 0, sizeof(*ctx));
        self_[&ctx->conn] = this;
        ctx->conn.read = Read;
        ctx->conn.write = Write;
        ctx->conn.connect = Connect;
        ctx->conn.disconnect = Disconnect;
        ctx->conn.handle = 1;
    }

    std::string written;
    bool fail_writes = false;  // then every write returns write_result
    int write_result = 0;
    int connects = 0;
    int disconnects = 0;

private:
    static ScriptedTransport* Of(tessera_net_rec* net) { return self_[net]; }

    static int Read(tessera_net_rec* net, char* buffer, uint32_t len, uint32_t) {
        ScriptedTransport* self = Of(net);
        if (self->pieces_.empty()) return kClosed;
        std::string& piece = self->pieces_.front();
        size_t count = std::min<size_t>(len, piece.size());
        memcpy(buffer, piece.data(), count);
        piece.erase(0, count);
        if (piece.empty()) self->pieces_.pop_front();
        return static_cast<int>(count);
    }
    static int Write(tessera_net_rec* net, const char* buffer, uint32_t len, uint32_t) {
        ScriptedTransport* self = Of(net);
        if (self->fail_writes) return self->write_result;
        self->written.append(buffer, len);
        return static_cast<int>(len);
    }
    static int Connect(tessera_net_rec* net) {
        ++Of(net)->connects;
        net->handle = 1;
        return 0;
    }
    static int Disconnect(tessera_net_rec* net) {
        ++Of(net)->disconnects;
        net->handle = 0;
        return 0;
    }

    std::deque<std::string> pieces_;
    static inline std::map<tessera_net_rec*, ScriptedTransport*> self_;
};

}  // namespace testsupport
