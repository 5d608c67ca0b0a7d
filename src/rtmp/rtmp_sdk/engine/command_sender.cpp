// The commands and control messages the engine sends itself (RTMP 7.2, 5.4, 6.2).
#include <vector>

#include "rtmp/rtmp_sdk/engine/control_messages.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr int kCommandChannel = 3;
constexpr int kControlChannel = 2;
constexpr int kStreamChannel = 4;  // the publish command and the chunk size change
constexpr int kPlayChannel = 8;
constexpr int kCommandRoom = 512;  // fixed fields of any command besides the link's strings
constexpr uint32_t kSetupBufferMs = 300;

// An AMF0 body built in place, with the chunk header room in front.
class BodyWriter {
public:
    explicit BodyWriter(size_t capacity) : buffer_(RTMP_MAX_HEADER_SIZE + capacity) {
        cursor_ = begin();
    }
    char* begin() { return buffer_.data() + RTMP_MAX_HEADER_SIZE; }
    char* end() { return buffer_.data() + buffer_.size(); }
    uint32_t size() { return cursor_ == nullptr ? 0 : static_cast<uint32_t>(cursor_ - begin()); }
    bool ok() const { return cursor_ != nullptr; }

    void String(const AVal& value) { Apply([&](char* p) { return AMF_EncodeString(p, end(), &value); }); }
    void Number(double value) { Apply([&](char* p) { return AMF_EncodeNumber(p, end(), value); }); }
    void Null() { Apply([&](char* p) { return AMF_EncodeNull(p, end()); }); }
    void ObjectStart() { Apply([&](char* p) { *p = AMF_OBJECT; return p + 1; }); }
    void ObjectEnd() { Apply([&](char* p) { return AMF_Encode(&empty_, p, end()); }); }
    void Named(const char* name, const AVal& value) {
        const AVal key{name, static_cast<int>(strlen(name))};
        Apply([&](char* p) { return AMF_EncodeNamedString(p, end(), &key, &value); });
    }
    void Named(const char* name, double value) {
        const AVal key{name, static_cast<int>(strlen(name))};
        Apply([&](char* p) { return AMF_EncodeNamedNumber(p, end(), &key, value); });
    }
    void NamedBool(const char* name, bool value) {
        const AVal key{name, static_cast<int>(strlen(name))};
        Apply([&](char* p) { return AMF_EncodeNamedBoolean(p, end(), &key, value); });
    }
    void NamedIfSet(const char* name, const AVal& value) {
        if (value.av_len > 0) Named(name, value);
    }
    void Raw(const char* bytes, int length) {
        Apply([&](char* p) -> char* {
            if (end() - p < length) return nullptr;
            memcpy(p, bytes, static_cast<size_t>(length));
            return p + length;
        });
    }

private:
    template <typename Encode>
    void Apply(Encode encode) {
        if (cursor_ != nullptr) cursor_ = cursor_ < end() ? encode(cursor_) : nullptr;
    }

    std::vector<char> buffer_;
    char* cursor_ = nullptr;
    AMFObject empty_;
};

struct MessageRoute {
    int channel;
    uint8_t header_type;
    uint8_t packet_type;
};

constexpr MessageRoute kCommandRoute{kCommandChannel, RTMP_PACKET_SIZE_MEDIUM, RTMP_PACKET_TYPE_INVOKE};

int SendBody(RTMP* r, const MessageRoute& route, int stream_id, BodyWriter* body, int queue,
             SendLockWait wait = SendLockWait::kBlock) {
    if (!body->ok()) {
        RTMP_LOGE("%s, message does not fit its buffer", __func__);
        return 0;
    }
    RTMPPacket packet;
    packet.m_nChannel = route.channel;
    packet.m_headerType = route.header_type;
    packet.m_packetType = route.packet_type;
    packet.m_nInfoField2 = stream_id;
    packet.m_nBodySize = body->size();
    packet.m_body = body->begin();
    return SendPacketLocked(r, &packet, queue, wait);
}

int SendControl(RTMP* r, uint8_t header_type, uint8_t packet_type, const char* bytes, int length) {
    BodyWriter body(static_cast<size_t>(length));
    body.Raw(bytes, length);
    return SendBody(r, {kControlChannel, header_type, packet_type}, 0, &body, 0);
}

bool Publishing(const RTMP* r) { return (r->Link.protocol & RTMP_FEATURE_WRITE) != 0; }

size_t LinkTextBytes(const RTMP* r) {
    const RTMP_LNK& l = r->Link;
    return static_cast<size_t>(l.app.av_len + l.flashVer.av_len + l.swfUrl.av_len + l.tcUrl.av_len +
                               l.pageUrl.av_len + l.auth.av_len + 2 * l.playpath.av_len);
}

void WriteConnectObject(RTMP* r, BodyWriter* body) {
    const RTMP_LNK& link = r->Link;
    body->ObjectStart();
    body->Named("app", link.app);
    if (Publishing(r)) body->Named("type", AVC("nonprivate"));
    body->NamedIfSet("flashVer", link.flashVer);
    body->NamedIfSet("swfUrl", link.swfUrl);
    body->NamedIfSet("tcUrl", link.tcUrl);
    if (!Publishing(r)) {
        body->NamedBool("fpad", false);
        body->Named("capabilities", 15.0);
        body->Named("audioCodecs", r->m_fAudioCodecs);
        body->Named("videoCodecs", r->m_fVideoCodecs);
        body->Named("videoFunction", 1.0);
        body->NamedIfSet("pageUrl", link.pageUrl);
    }
    if (r->m_fEncoding != 0) body->Named("objectEncoding", r->m_fEncoding);
    body->ObjectEnd();
}

int SendCommandWithPath(RTMP* r, const char* name, int queue) {
    return SendInvoke(r, name, ++r->m_numInvokes, &r->Link.playpath, queue);
}

int SendPublish(RTMP* r) {
    BodyWriter body(kCommandRoom + LinkTextBytes(r));
    body.String(AVC("publish"));
    body.Number(++r->m_numInvokes);
    body.Null();
    body.String(r->Link.playpath);
    body.String(AVC("live"));
    return SendBody(r, {kStreamChannel, RTMP_PACKET_SIZE_LARGE, RTMP_PACKET_TYPE_INVOKE}, r->m_stream_id, &body, 1);
}

int SendPlay(RTMP* r) {
    BodyWriter body(kCommandRoom + LinkTextBytes(r));
    body.String(AVC("play"));
    body.Number(++r->m_numInvokes);
    body.Null();
    body.String(r->Link.playpath);
    body.Number(-2);  // AMF0 play start -2: live stream, else the recorded one
    return SendBody(r, {kPlayChannel, RTMP_PACKET_SIZE_LARGE, RTMP_PACKET_TYPE_INVOKE}, r->m_stream_id, &body, 1);
}

int SendUserControl(RTMP* r, rtmp_control::UserControlEvent event, uint32_t value, uint32_t buffer_ms) {
    char bytes[rtmp_control::kUserControlMaxBody];
    const int length = rtmp_control::EncodeUserControl(event, value, buffer_ms, bytes);
    return SendControl(r, RTMP_PACKET_SIZE_MEDIUM, RTMP_PACKET_TYPE_CONTROL, bytes, length);
}

int SendChunkSize(RTMP* r, int chunk_size) {
    BodyWriter body(rtmp_control::kFourByteBody);
    char bytes[rtmp_control::kFourByteBody];
    body.Raw(bytes, rtmp_control::EncodeChunkSize(static_cast<uint32_t>(chunk_size), bytes));
    return SendBody(r, {kStreamChannel, RTMP_PACKET_SIZE_LARGE, RTMP_PACKET_TYPE_CHUNK_SIZE}, 0, &body, 0);
}

}  // namespace

int SendInvoke(RTMP* r, const char* name, int transaction_id, const AVal* argument, int queue) {
    BodyWriter body(kCommandRoom + strlen(name) + (argument != nullptr ? argument->av_len : 0));
    body.String(AVal{name, static_cast<int>(strlen(name))});
    body.Number(transaction_id);
    body.Null();
    if (argument != nullptr) body.String(*argument);
    return SendBody(r, kCommandRoute, 0, &body, queue);
}

int SendConnectPacket(RTMP* r) {
    BodyWriter body(kCommandRoom + LinkTextBytes(r));
    body.String(AVC("connect"));
    body.Number(++r->m_numInvokes);
    WriteConnectObject(r, &body);
    if (r->Link.auth.av_len > 0) body.String(r->Link.auth);
    return SendBody(r, {kCommandChannel, RTMP_PACKET_SIZE_LARGE, RTMP_PACKET_TYPE_INVOKE}, 0, &body, 1);
}

int SendAfterConnect(RTMP* r) {
    if (Publishing(r)) {
        if (!SendChunkSize(r, RTMP_PUBLISH_CHUNKSIZE)) return 0;
        r->m_outChunkSize = RTMP_PUBLISH_CHUNKSIZE;
        if (!SendCommandWithPath(r, "releaseStream", 0) || !SendCommandWithPath(r, "FCPublish", 0)) return 0;
    } else {
        char bytes[rtmp_control::kFourByteBody];
        rtmp_control::EncodeUint32Body(static_cast<uint32_t>(r->m_nServerBW), bytes);
        if (!SendControl(r, RTMP_PACKET_SIZE_LARGE, RTMP_PACKET_TYPE_SERVER_BW, bytes, sizeof bytes)) return 0;
        if (!SendUserControl(r, rtmp_control::USER_CONTROL_SET_BUFFER_LENGTH, 0, kSetupBufferMs)) return 0;
    }
    return SendInvoke(r, "createStream", ++r->m_numInvokes, nullptr, 1);
}

int SendAfterCreateStream(RTMP* r) {
    if (Publishing(r)) return SendPublish(r);
    if (!SendPlay(r)) return 0;
    return SendUserControl(r, rtmp_control::USER_CONTROL_SET_BUFFER_LENGTH, static_cast<uint32_t>(r->m_stream_id),
                           static_cast<uint32_t>(r->m_nBufferMS));
}

int SendGoodbye(RTMP* r, int stream_id) {
    if (Publishing(r)) {
        BodyWriter unpublish(kCommandRoom + LinkTextBytes(r));
        unpublish.String(AVC("FCUnpublish"));
        unpublish.Number(++r->m_numInvokes);
        unpublish.Null();
        unpublish.String(r->Link.playpath);
        if (!SendBody(r, kCommandRoute, 0, &unpublish, 0, SendLockWait::kBriefly)) return 0;
    }
    BodyWriter remove(kCommandRoom);
    remove.String(AVC("deleteStream"));
    remove.Number(++r->m_numInvokes);
    remove.Null();
    remove.Number(stream_id);
    return SendBody(r, kCommandRoute, 0, &remove, 0, SendLockWait::kBriefly);
}

int SendCheckBW(RTMP* r) { return SendInvoke(r, "_checkbw", ++r->m_numInvokes, nullptr, 1); }

int SendCheckBWResult(RTMP* r, double transaction_id) {
    BodyWriter body(kCommandRoom);
    body.String(AVC("_result"));
    body.Number(transaction_id);
    body.Null();
    body.Number(r->m_nBWCheckCounter++);
    return SendBody(r, kCommandRoute, 0, &body, 0);
}

int SendPong(RTMP* r, double transaction_id) {
    BodyWriter body(kCommandRoom);
    body.String(AVC("pong"));
    body.Number(transaction_id);
    body.Null();
    return SendBody(r, kCommandRoute, 0, &body, 0);
}

int SendPingResponse(RTMP* r, uint32_t timestamp) {
    return SendUserControl(r, rtmp_control::USER_CONTROL_PING_RESPONSE, timestamp, 0);
}

int SendAcknowledgement(RTMP* r) {
    r->m_nBytesInSent = r->m_nBytesIn;
    char bytes[rtmp_control::kFourByteBody];
    rtmp_control::EncodeUint32Body(static_cast<uint32_t>(r->m_nBytesIn), bytes);
    return SendControl(r, RTMP_PACKET_SIZE_MEDIUM, RTMP_PACKET_TYPE_BYTES_READ_REPORT, bytes, sizeof bytes);
}

}  // namespace rtmp_engine
