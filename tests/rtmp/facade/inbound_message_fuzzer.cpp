// Feeds server messages to the client's decoding: onStatus commands with their description rules
// (types 4 and 20), video (9) and audio (8), in clear and encrypted. The first byte picks the
// message type and the options, the rest is the message body as the engine hands it over.
#include <cstdint>
#include <cstring>
#include <vector>

#include "rtmp/rtmp_sdk/inbound_dispatch.h"

namespace {

volatile uint8_t g_sink;

void Touch(const void* data, int len) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (int i = 0; i < len; ++i) g_sink = g_sink ^ bytes[i];
}

int OnMedia(const void* data, int len, uint32_t, void*) {
    Touch(data, len);
    return 0;
}

int OnNotify(const char* code, int code_len, const char* description, int description_len, void*) {
    Touch(code, code_len);
    Touch(description, description_len);
    return 0;
}

int OnAudioHeader(zenq_rtmp_audio_format_e, zenq_rtmp_audio_extern_rate_e, zenq_rtmp_audio_bit_e, int, void*) {
    return 0;
}

rtmp_client_s* Client(bool encrypt) {
    static rtmp_client_s* client = [] {
        rtmp_client_s* c = nullptr;
        IOT_RTMP_Init(&c);
        return c;
    }();
    zenq_rtmp_config_s config{};
    config.timestamp_type = 1;
    config.stream_encrypt = encrypt ? 1 : 0;
    for (int i = 0; i < 16; ++i) {
        config.key[i] = static_cast<uint8_t>(i);
        config.iv[i] = static_cast<uint8_t>(0xF0 - i);
    }
    IOT_RTMP_SetConfig(client, &config);
    return client;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const uint8_t kTypes[] = {RTMP_PACKET_TYPE_INVOKE, RTMP_PACKET_TYPE_AUDIO, RTMP_PACKET_TYPE_CONTROL,
                                     RTMP_PACKET_TYPE_VIDEO};
    const uint8_t options = data[0];
    std::vector<char> body(data + 1, data + size);  // exactly the body: reads past it are caught
    RTMPPacket packet;
    packet.m_packetType = kTypes[options & 3];
    packet.m_body = body.data();
    packet.m_nBodySize = static_cast<uint32_t>(body.size());
    packet.m_nBytesRead = packet.m_nBodySize;

    rtmp_client_s* client = Client((options & 4) != 0);
    zenq_rtmp_read_handler handler{nullptr, OnMedia, OnMedia, OnNotify, OnAudioHeader};
    DispatchInboundMessage(client, packet, {&handler, nullptr, (options & 8) != 0});

    char code[ZENQ_RTMP_STATUS_TEXT_MAX + 1];
    char description[ZENQ_RTMP_STATUS_TEXT_MAX + 1];
    int code_len = 0;
    int description_len = 0;
    if (DecodeStatusReply(packet, code, &code_len, description, &description_len) == 0) {
        Touch(code, static_cast<int>(strlen(code)));
        Touch(description, static_cast<int>(strlen(description)));
    }
    return 0;
}
