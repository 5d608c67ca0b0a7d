// Messages read while the stream is being set up (RTMP_ConnectStream). After set-up the engine
// hands every message up without acting on it.
#include <cmath>
#include <string>

#include "rtmp/rtmp_sdk/engine/control_messages.h"
#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {
namespace {

constexpr double kMaxStreamId = 0x7FFFFFFF;

int ClampToInt(uint32_t value) { return value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(value); }

void OnChunkSize(RTMP* r, const RTMPPacket* p) {
    uint32_t size = 0;
    if (rtmp_control::DecodeChunkSize(p->m_body, p->m_nBodySize, &size)) r->m_inChunkSize = ClampToInt(size);
}

void OnAbort(RTMP* r, const RTMPPacket* p) {
    uint32_t id = 0;
    if (!rtmp_control::DecodeUint32Body(p->m_body, p->m_nBodySize, &id)) return;
    ConnectionLock lock(r);
    if (id < r->m_vecChannelsIn.size()) RTMPPacket_Free(&r->m_vecChannelsIn[id]);  // RTMP 5.4.2
}

void OnWindowAckSize(RTMP* r, const RTMPPacket* p) {
    uint32_t window = 0;
    if (rtmp_control::DecodeUint32Body(p->m_body, p->m_nBodySize, &window)) r->m_nServerBW = ClampToInt(window);
}

void OnPeerBandwidth(RTMP* r, const RTMPPacket* p) {
    uint32_t window = 0;
    uint8_t limit = 0;
    if (!rtmp_control::DecodePeerBandwidth(p->m_body, p->m_nBodySize, &window, &limit)) return;
    r->m_nClientBW = ClampToInt(window);
    r->m_nClientBW2 = limit;
}

void OnUserControl(RTMP* r, const RTMPPacket* p) {
    uint16_t event = 0;
    uint32_t value = 0;
    if (!rtmp_control::DecodeUserControl(p->m_body, p->m_nBodySize, &event, &value)) return;
    if (event == rtmp_control::USER_CONTROL_PING_REQUEST) {
        SendPingResponse(r, value);
    } else if (event == rtmp_control::USER_CONTROL_SWF_VERIFY_REQUEST) {
        if (value > 1) RTMP_LOGE("%s: SWFVerification Type %d request not supported! Patches welcome...", "RTMP_ConnectStream",
                                 static_cast<int>(value));
        RTMP_LOGE("%s: Ignoring SWFVerification request, no CRYPTO support!", "RTMP_ConnectStream");
    }
    // Stream begin, EOF, dry and buffer events only steer a player's buffering.
}

// --- Commands -------------------------------------------------------------------------------------

struct Invoke {
    AMFObject values;  // name, transaction id, command object, arguments
    double transaction_id = 0;
};

void OnConnectResult(RTMP* r, const Invoke&) {
    if (!SendAfterConnect(r)) RTMP_LOGE("%s, sending the stream set-up failed", __func__);
}

void OnCreateStreamResult(RTMP* r, const Invoke& invoke) {
    const AMFObjectProperty* id = AMF_GetProp(&invoke.values, nullptr, 3);
    const double number = AMFProp_GetNumber(id);
    if (id->p_type != AMF_NUMBER || !(number >= 0 && number <= kMaxStreamId)) {
        RTMP_LOGE("%s, createStream returned no usable stream id", __func__);
        RTMP_Close(r);
        return;
    }
    r->m_stream_id = static_cast<int>(number);
    if (!SendAfterCreateStream(r)) RTMP_LOGE("%s, sending publish failed", __func__);
}

void OnResult(RTMP* r, const Invoke& invoke) {
    const double id = invoke.transaction_id;
    const int transaction = std::isfinite(id) && std::fabs(id) < kMaxStreamId ? static_cast<int>(id) : -1;
    const std::string method = PendingCallTake(r, transaction);
    RTMP_LOGD("%s, result of %s", __func__, method.empty() ? "(unknown)" : method.c_str());
    if (method == "connect") {
        OnConnectResult(r, invoke);
    } else if (method == "createStream") {
        OnCreateStreamResult(r, invoke);
    } else if (method == "play" || method == "publish") {
        r->m_bPlaying = 1;
    }
}

void OnBWDone(RTMP* r, const Invoke&) {
    if (r->m_nBWCheckCounter == 0) SendCheckBW(r);
}
void OnIgnored(RTMP*, const Invoke&) {}
void OnCloseRequest(RTMP* r, const Invoke&) { RTMP_Close(r); }
void OnPing(RTMP* r, const Invoke& invoke) { SendPong(r, invoke.transaction_id); }
void OnBWCheck(RTMP* r, const Invoke& invoke) { SendCheckBWResult(r, invoke.transaction_id); }
void OnBWCheckDone(RTMP* r, const Invoke&) { PendingCallDrop(r, "_checkbw"); }
void OnError(RTMP*, const Invoke&) { RTMP_LOGE("rtmp server sent error"); }
void OnServerClose(RTMP* r, const Invoke&) {
    RTMP_LOGE("rtmp server requested close");
    RTMP_Close(r);
}
void OnPlaylistReady(RTMP* r, const Invoke&) { PendingCallDrop(r, "set_playlist"); }

// --- onStatus codes -------------------------------------------------------------------------------

void StatusFailed(RTMP* r, const std::string& code) {
    r->m_stream_id = -1;
    RTMP_Close(r);
    RTMP_LOGE("Closing connection: %s", code.c_str());
}
void StatusPlayStart(RTMP* r, const std::string&) {
    r->m_bPlaying = 1;
    r->m_bOvPlayStart = 1;
    PendingCallDrop(r, "play");
}
void StatusPublishNotify(RTMP* r, const std::string&) {
    r->m_bPlaying = 1;
    PendingCallDrop(r, "play");
}
void StatusPublishStart(RTMP* r, const std::string&) {
    r->m_bPlaying = 1;
    PendingCallDrop(r, "publish");
}
void StatusStreamEnded(RTMP* r, const std::string&) { RTMP_Close(r); }
void StatusTalkReady(RTMP* r, const std::string&) { r->m_bOvTalkReady = 1; }

struct StatusAction {
    const char* code;
    void (*act)(RTMP*, const std::string&);
};

const StatusAction kStatusActions[] = {
    {"NetStream.Failed", StatusFailed},
    {"NetStream.Play.Failed", StatusFailed},
    {"NetStream.Play.StreamNotFound", StatusFailed},
    {"NetConnection.Connect.InvalidApp", StatusFailed},
    {"NetStream.Play.Start", StatusPlayStart},
    {"NetStream.Play.PublishNotify", StatusPublishNotify},
    {"NetStream.Publish.Start", StatusPublishStart},
    {"NetStream.Play.Complete", StatusStreamEnded},
    {"NetStream.Play.Stop", StatusStreamEnded},
    {"NetStream.Play.UnpublishNotify", StatusStreamEnded},
    {"NetStream.TalkReady", StatusTalkReady},
};

void OnStatus(RTMP* r, const Invoke& invoke) {
    AMFObject info;
    AMFProp_GetObject(AMF_GetProp(&invoke.values, nullptr, 3), &info);
    const AVal code_name = AVC("code");
    AVal code;
    AMFProp_GetString(AMF_GetProp(&info, &code_name, -1), &code);
    const std::string text(code.av_val != nullptr ? code.av_val : "", static_cast<size_t>(code.av_len));
    RTMP_LOGD("%s, %s", __func__, text.c_str());
    for (const StatusAction& action : kStatusActions) {
        if (text == action.code) {
            action.act(r, text);
            return;
        }
    }
}

struct CommandAction {
    const char* name;
    void (*act)(RTMP*, const Invoke&);
};

const CommandAction kCommandActions[] = {
    {"_result", OnResult},           {"onBWDone", OnBWDone},     {"onFCSubscribe", OnIgnored},
    {"onFCUnsubscribe", OnCloseRequest}, {"ping", OnPing},       {"_onbwcheck", OnBWCheck},
    {"_onbwdone", OnBWCheckDone},    {"_error", OnError},        {"close", OnServerClose},
    {"onStatus", OnStatus},          {"playlist_ready", OnPlaylistReady},
};

void OnCommand(RTMP* r, const char* body, uint32_t size) {
    if (size == 0 || body[0] != AMF_STRING) return;
    Invoke invoke;
    if (AMF_Decode(&invoke.values, body, static_cast<int>(size), 0) < 0) {
        RTMP_LOGE("%s, error decoding invoke packet", "RTMP_ConnectStream");
        return;
    }
    AVal name;
    AMFProp_GetString(AMF_GetProp(&invoke.values, nullptr, 0), &name);
    invoke.transaction_id = AMFProp_GetNumber(AMF_GetProp(&invoke.values, nullptr, 1));
    const std::string method(name.av_val, static_cast<size_t>(name.av_len));
    for (const CommandAction& action : kCommandActions) {
        if (method == action.name) {
            action.act(r, invoke);
            return;
        }
    }
    RTMP_LOGD("%s, ignoring %s", __func__, method.c_str());
}

}  // namespace

void HandleSetupMessage(RTMP* r, RTMPPacket* packet) {
    switch (packet->m_packetType) {
        case RTMP_PACKET_TYPE_CHUNK_SIZE:
            return OnChunkSize(r, packet);
        case RTMP_PACKET_TYPE_ABORT:
            return OnAbort(r, packet);
        case RTMP_PACKET_TYPE_CONTROL:
            return OnUserControl(r, packet);
        case RTMP_PACKET_TYPE_SERVER_BW:
            return OnWindowAckSize(r, packet);
        case RTMP_PACKET_TYPE_CLIENT_BW:
            return OnPeerBandwidth(r, packet);
        case RTMP_PACKET_TYPE_FLEX_MESSAGE:  // AMF3 command: a format byte, then AMF0 values
            if (packet->m_nBodySize == 0) return;
            return OnCommand(r, packet->m_body + 1, packet->m_nBodySize - 1);
        case RTMP_PACKET_TYPE_INVOKE:
            return OnCommand(r, packet->m_body, packet->m_nBodySize);
        default:
            RTMP_LOGD("%s, ignoring message type 0x%02x", __func__, static_cast<unsigned>(packet->m_packetType));
    }
}

}  // namespace rtmp_engine
