// Reading a response: status line, header fields and the body in pieces that fit the caller's buffer.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "infra/http/http_response_head.h"
#include "infra/http/http_transport.h"
#include "infra/utils/sdk_log.h"
#include "infra/utils/sdk_mem.h"
#include "tessera_httpclient.h"

namespace tessera {
namespace {

constexpr const char kModule[] = "httpc";
constexpr size_t kHandBuffer = 1024;
constexpr size_t kHandMax = kHandBuffer - 1;
constexpr uint32_t kFirstRead = 320;
constexpr uint32_t kHeaderReadMs = 100;
constexpr uint32_t kPieceMax = 1023;
constexpr uint32_t kExtendBelowMs = 99;
constexpr uint32_t kExtensionMs = 100;
constexpr int kIdleReadLimit = 600;
constexpr int kExtensionLimit = 1200;
constexpr int kBodyComplete = 0;
constexpr int kReplyFull = 1;

// One call's work on a response; bytes read but not yet used sit in the hand buffer.
class ResponseReader {
public:
    ResponseReader(http_conn_rec* ctx, http_exchange_rec* data, uint32_t timeout_ms, char* hand)
        : ctx_(ctx), data_(data), countdown_(timeout_ms), hand_(hand) {
        hand_len_ = std::min(static_cast<size_t>(std::max(data->held_len, 0)), kHandMax);
        memcpy(hand_, data->held, hand_len_);
        data->held_len = 0;
        capacity_ = static_cast<size_t>(data->reply_capacity - 1);
        data->reply_buf[0] = '\0';
        data->reply_len = 0;
    }

    int ReadHead();
    int ReadBody();

private:
    size_t Room() const { return capacity_ - written_; }
    void Consume(size_t count) {
        memmove(hand_, hand_ + count, hand_len_ - count);
        hand_len_ -= count;
    }
    const char* FindInHand(const char* text) const {
        const char* end = hand_ + hand_len_;
        const char* found = std::search(static_cast<const char*>(hand_), end, text, text + strlen(text));
        return found == end ? nullptr : found;
    }
    int FillHand(uint32_t max, uint32_t timeout_ms);
    int AwaitInto(char* into, uint32_t want, uint32_t* got);
    int AwaitHand(uint32_t want);
    int ReadKnownLength();
    int ReadUnknownLength();
    int ReadChunked();
    int ReadChunkSize(long* size);
    int ExpectChunkEnd();
    int Finish(int result, const char* done_text);

    http_conn_rec* ctx_;
    http_exchange_rec* data_;
    Countdown countdown_;
    char* hand_;
    size_t hand_len_ = 0;
    size_t capacity_;
    size_t written_ = 0;
    int extensions_ = 0;
    int idle_reads_ = 0;
};

int ResponseReader::FillHand(uint32_t max, uint32_t timeout_ms) {
    uint32_t got = 0;
    ReadResult result = ReadSome(&ctx_->conn, hand_ + hand_len_, max, timeout_ms, &got);
    hand_len_ += got;
    if (result == ReadResult::kData) return 0;
    return result == ReadResult::kNothing ? HTTPCLIENT_ERROR : HTTPCLIENT_CONNECTION;
}

// Waits for data the way a body is waited for: the countdown is stretched in 100 ms steps while the
// server is slow, up to the dead-loop and extension limits.
int ResponseReader::AwaitInto(char* into, uint32_t want, uint32_t* got) {
    for (;;) {
        if (countdown_.Left() <= kExtendBelowMs) {
            countdown_.Reset(kExtensionMs);
            if (++extensions_ % 100 == 0) {
                SDK_DEBUG(kModule, "extend countdown_ms to avoid NULL input to select, tired %d times", extensions_);
            }
        }
        ReadResult result = ReadSome(&ctx_->conn, into, want, countdown_.Left(), got);
        if (result == ReadResult::kData) {
            idle_reads_ = 0;
            return 0;
        }
        if (result != ReadResult::kNothing) return HTTPCLIENT_CONNECTION;
        if (countdown_.Left() > 0) continue;
        if (++idle_reads_ > kIdleReadLimit) {
            SDK_ERR(kModule, "deadloop detected, exit");
            return HTTPCLIENT_ERROR;
        }
        if (extensions_ > kExtensionLimit) {
            SDK_ERR(kModule, "extend timer for too many times, exit");
            return HTTPCLIENT_CONNECTION;
        }
    }
}

int ResponseReader::AwaitHand(uint32_t want) {
    uint32_t got = 0;
    int ret = AwaitInto(hand_ + hand_len_, std::min<uint32_t>(want, kHandMax - hand_len_), &got);
    hand_len_ += got;
    return ret;
}

int ResponseReader::ReadHead() {
    data_->body_pending = true;
    data_->held_len = 0;
    hand_len_ = 0;
    int ret = FillHand(kFirstRead, countdown_.Left());
    if (hand_len_ == 0) return ret;
    // The status line may arrive split over several segments: gather up to the first read's size.
    const char* line_end;
    while ((line_end = FindInHand("\r\n")) == nullptr && ret == 0 && hand_len_ < kFirstRead) {
        ret = FillHand(kFirstRead - static_cast<uint32_t>(hand_len_), countdown_.Left());
    }
    SDK_DEBUG(kModule, "< %.*s", static_cast<int>(hand_len_), hand_);
    if (line_end == nullptr) {
        SDK_ERR(kModule, "\\r\\n not found");
        return HTTPCLIENT_BAD_FRAMING;
    }
    if (!ParseStatusLine(hand_, static_cast<size_t>(line_end - hand_), &ctx_->status_code)) {
        SDK_ERR(kModule, "malformed status line");
        return HTTPCLIENT_BAD_FRAMING;
    }
    if (ctx_->status_code < 200 || ctx_->status_code >= 400) SDK_WARN(kModule, "Response code %d", ctx_->status_code);
    data_->body_length = -1;
    data_->chunked = false;
    Consume(static_cast<size_t>(line_end - hand_) + 2);

    // An empty field block is just the blank line.
    const char* blank = hand_len_ >= 2 && memcmp(hand_, "\r\n", 2) == 0 ? hand_ : FindInHand("\r\n\r\n");
    while (blank == nullptr) {
        if (hand_len_ >= kHandMax) {
            SDK_ERR(kModule, "buffer exceeded max\n");
            return HTTPCLIENT_TOO_LONG;
        }
        uint32_t left = countdown_.Left();
        if (left == 0) {
            SDK_ERR(kModule, "header not complete within the time-out");
            return HTTPCLIENT_ERROR;
        }
        ret = FillHand(std::min<uint32_t>(kFirstRead, kHandMax - hand_len_), std::min(kHeaderReadMs, left));
        if (ret == HTTPCLIENT_CONNECTION) return ret;
        blank = hand_len_ >= 2 && memcmp(hand_, "\r\n", 2) == 0 ? hand_ : FindInHand("\r\n\r\n");
    }
    size_t fields_length = blank == hand_ ? 0 : static_cast<size_t>(blank - hand_) + 2;
    ResponseHead head;
    ParseHeaderFields(hand_, fields_length, &head);
    Consume(fields_length + 2);
    switch (head.framing) {
        case BodyFraming::kContentLength:
            data_->body_length = data_->bytes_due = head.content_length;
            return 0;
        case BodyFraming::kChunked:
            data_->chunked = true;
            data_->body_length = data_->bytes_due = 0;
            return 0;
        case BodyFraming::kUnknown:
            return 0;
        case BodyFraming::kNone:
            break;
    }
    SDK_ERR(kModule, "Could not parse header");
    return HTTPCLIENT_NO_LENGTH;
}

int ResponseReader::ReadBody() {
    if (data_->chunked) return ReadChunked();
    if (data_->body_length < 0) return ReadUnknownLength();
    int ret = ReadKnownLength();
    if (ret < 0) return ret;
    return Finish(data_->bytes_due == 0 ? kBodyComplete : kReplyFull, "no more (content-length)");
}

int ResponseReader::ReadKnownLength() {
    size_t take = std::min({static_cast<size_t>(data_->bytes_due), hand_len_, Room()});
    memcpy(data_->reply_buf + written_, hand_, take);
    written_ += take;
    Consume(take);
    data_->bytes_due -= static_cast<int>(take);
    while (data_->bytes_due > 0 && Room() > 0) {
        uint32_t want = std::min({kPieceMax, static_cast<uint32_t>(Room()), static_cast<uint32_t>(data_->bytes_due)});
        uint32_t got = 0;
        int ret = AwaitInto(data_->reply_buf + written_, want, &got);
        if (ret < 0) return ret;
        written_ += got;
        data_->bytes_due -= static_cast<int>(got);
    }
    return 0;
}

// RFC 7230 3.3.3 (7): without a length the body runs until the server closes or stops sending.
int ResponseReader::ReadUnknownLength() {
    size_t take = std::min(hand_len_, Room());
    memcpy(data_->reply_buf + written_, hand_, take);
    written_ += take;
    Consume(take);
    while (Room() > 0) {
        uint32_t got = 0;
        ReadResult result = ReadSome(&ctx_->conn, data_->reply_buf + written_,
                                     std::min<uint32_t>(kFirstRead, static_cast<uint32_t>(Room())),
                                     countdown_.Left(), &got);
        written_ += got;
        if (result == ReadResult::kBroken) return HTTPCLIENT_CONNECTION;
        if (result != ReadResult::kData) return Finish(kBodyComplete, "no more len == 0");
    }
    return Finish(kReplyFull, nullptr);
}

int ResponseReader::ReadChunkSize(long* size) {
    const char* line_end;
    while ((line_end = FindInHand("\r\n")) == nullptr) {
        if (hand_len_ >= kHandMax) {
            SDK_ERR(kModule, "chunk size line too long");
            return HTTPCLIENT_NO_LENGTH;
        }
        int ret = AwaitHand(kFirstRead);
        if (ret < 0) return ret;
    }
    *size = ParseChunkSize(hand_, static_cast<size_t>(line_end - hand_));
    if (*size < 0 || *size > INT32_MAX - data_->body_length) {
        SDK_ERR(kModule, "Format error, %.*s", static_cast<int>(line_end - hand_), hand_);
        return HTTPCLIENT_BAD_FRAMING;
    }
    Consume(static_cast<size_t>(line_end - hand_) + 2);
    return 0;
}

int ResponseReader::ExpectChunkEnd() {
    while (hand_len_ < 2) {
        int ret = AwaitHand(2 - static_cast<uint32_t>(hand_len_));
        if (ret < 0) return ret;
    }
    if (memcmp(hand_, "\r\n", 2) != 0) {
        SDK_ERR(kModule, "Format error, %.2s", hand_);
        return HTTPCLIENT_BAD_FRAMING;
    }
    Consume(2);
    return 0;
}

// RFC 7230 4.1: chunk-size CRLF chunk-data CRLF ... last-chunk.
int ResponseReader::ReadChunked() {
    for (;;) {
        if (data_->bytes_due == 0) {
            long size = 0;
            int ret = ReadChunkSize(&size);
            if (ret < 0) return ret;
            if (size == 0) return Finish(kBodyComplete, "no more (last chunk)");
            data_->body_length += static_cast<int>(size);
            data_->bytes_due = static_cast<int>(size);
        }
        int ret = ReadKnownLength();
        if (ret < 0) return ret;
        if (data_->bytes_due > 0) return Finish(kReplyFull, nullptr);
        ret = ExpectChunkEnd();
        if (ret < 0) return ret;
    }
}

int ResponseReader::Finish(int result, const char* done_text) {
    data_->reply_buf[written_] = '\0';
    data_->reply_len = static_cast<int>(written_);
    if (result == kBodyComplete) {
        SDK_DEBUG(kModule, "%s", done_text);
        data_->body_pending = false;
        return 0;
    }
    memcpy(data_->held, hand_, hand_len_);
    data_->held_len = static_cast<int>(hand_len_);
    return kReplyFull;
}

}  // namespace
}  // namespace tessera

extern "C" int httpclient_recv_response(http_conn_rec* ctx, uint32_t timeout_ms, http_exchange_rec* data) {
    if (ctx == nullptr || data == nullptr || data->reply_buf == nullptr || data->reply_capacity < 2) {
        return HTTPCLIENT_ERROR;
    }
    if (ctx->conn.handle == 0) {
        SDK_ERR(tessera::kModule, "not connection have been established");
        return HTTPCLIENT_CONNECTION;
    }
    char* hand = static_cast<char*>(tessera::SdkMalloc(tessera::kHandBuffer, tessera::kModule));
    if (hand == nullptr) return HTTPCLIENT_NO_MEMORY;
    tessera::ResponseReader reader(ctx, data, timeout_ms, hand);
    int ret = data->body_pending ? 0 : reader.ReadHead();
    if (ret == 0) ret = reader.ReadBody();
    tessera::SdkFree(hand);
    return ret;
}
