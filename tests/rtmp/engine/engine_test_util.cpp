#include "engine_test_util.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace enginetest {
namespace {

std::mutex g_log_mutex;
std::vector<std::string> g_log_lines;

void CaptureLine(int /*level*/, const char* /*file*/, int /*line*/, const char* fmt, ...) {
    char text[2048];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_log_lines.emplace_back(text);
}

}  // namespace

Connection::Connection(const std::string& url) : r_(RTMP_Alloc()), url_(url.begin(), url.end()) {
    url_.push_back('\0');
    RTMP_Init(r_);
}

Connection::~Connection() {
    RTMP_Close(r_);
    RTMP_Free(r_);
}

bool Connection::Publish() {
    if (!RTMP_SetupURL(r_, url_.data())) return false;
    RTMP_EnableWrite(r_);
    return RTMP_Connect(r_, nullptr) && RTMP_ConnectStream(r_, 0);
}

bool Connection::Send(uint8_t type, uint32_t timestamp, const std::vector<char>& body, uint8_t header_type,
                      int channel) {
    std::vector<char> buffer(RTMP_MAX_HEADER_SIZE + body.size());
    std::copy(body.begin(), body.end(), buffer.begin() + RTMP_MAX_HEADER_SIZE);
    RTMPPacket packet;
    packet.m_nChannel = channel;
    packet.m_headerType = header_type;
    packet.m_packetType = type;
    packet.m_nTimeStamp = timestamp;
    packet.m_nInfoField2 = r_->m_stream_id;
    packet.m_nBodySize = static_cast<uint32_t>(body.size());
    packet.m_body = buffer.data() + RTMP_MAX_HEADER_SIZE;
    const bool sent = RTMP_SendPacket(r_, &packet, 0) == 1;
    // The engine borrows the bytes in front of continuation chunks and must put them back.
    return sent && std::equal(body.begin(), body.end(), buffer.begin() + RTMP_MAX_HEADER_SIZE);
}

std::vector<char> Pattern(size_t n, uint8_t seed) {
    std::vector<char> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 31 + seed + i / 251) & 0xFF);
    return bytes;
}

std::string Hex(const std::vector<char>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out.push_back(kDigits[(static_cast<uint8_t>(c) >> 4) & 0xF]);
        out.push_back(kDigits[static_cast<uint8_t>(c) & 0xF]);
    }
    return out;
}

EngineLog::EngineLog() {
    RTMP_SetLogCallback(CaptureLine);
    Clear();
}

void EngineLog::Clear() {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_log_lines.clear();
}

bool EngineLog::Has(const std::string& text) const {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    for (const std::string& line : g_log_lines) {
        if (line == text) return true;
    }
    return false;
}

bool EngineLog::HasSubstring(const std::string& text) const {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    for (const std::string& line : g_log_lines) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

std::string EngineLog::Dump() const {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    std::string out;
    for (const std::string& line : g_log_lines) out += line + "\n";
    return out;
}

}  // namespace enginetest
