#include "rtmp_server_peer.h"

#include <unistd.h>

#include <sstream>

#include "peers.h"

namespace testsupport {
namespace {

constexpr int kPollMs = 20;
constexpr int kStartAttempts = 500;   // 10 s
constexpr int kEndAttempts = 3000;    // 60 s: an upper bound, not a timing requirement

// "key=value" words of one record line; the last field (body) runs to the end of the line.
std::string Field(const std::string& line, const std::string& key) {
    const std::string marker = " " + key + "=";
    const size_t at = line.find(marker);
    if (at == std::string::npos) return {};
    const size_t start = at + marker.size();
    const size_t end = line.find(' ', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

PeerMessage ParseMessage(const std::string& line) {
    PeerMessage m;
    m.type = std::stoi(Field(line, "type"));
    m.csid = std::stoi(Field(line, "csid"));
    m.stream = std::stoi(Field(line, "stream"));
    m.ts = static_cast<uint32_t>(std::stoul(Field(line, "ts")));
    m.fmts = Field(line, "fmts");
    m.len = std::stoi(Field(line, "len"));
    m.name = Field(line, "name");
    m.args = Field(line, "args");
    m.body_hex = Field(line, "body");
    return m;
}

}  // namespace

RtmpServerPeer::RtmpServerPeer(std::string steps_json, std::string s2_mode)
    : steps_json_(std::move(steps_json)), s2_mode_(std::move(s2_mode)) {}

bool RtmpServerPeer::Start() {
    port_ = FreeLoopbackPort();
    WriteFile(dir_.File("steps.json"), steps_json_);
    const std::vector<std::string> argv = {"/usr/bin/python3", SourcePath("tests/peers/rtmp_server_peer.py"),
                                           "--port", std::to_string(port_), "--record", dir_.File("record.txt"),
                                           "--scenario", dir_.File("steps.json"), "--s2", s2_mode_};
    if (!process_.Start(argv, dir_.File("peer.log"))) return false;
    return WaitForRecordLine("listening", kStartAttempts);
}

bool RtmpServerPeer::WaitForEnd() {
    if (WaitForRecordLine("end", kEndAttempts)) return true;
    return !process_.Running();
}

bool RtmpServerPeer::WaitForRecordLine(const std::string& line, int attempts) {
    for (int i = 0; i < attempts; ++i) {
        std::istringstream record(Record());
        for (std::string l; std::getline(record, l);) {
            if (l == line) return true;
        }
        if (!process_.Running()) return false;
        usleep(kPollMs * 1000);
    }
    return false;
}

std::string RtmpServerPeer::Url(const std::string& path) const {
    return "rtmp://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::vector<PeerMessage> RtmpServerPeer::Messages() const {
    std::vector<PeerMessage> messages;
    std::istringstream record(Record());
    for (std::string line; std::getline(record, line);) {
        if (line.rfind("msg ", 0) == 0) messages.push_back(ParseMessage(line));
    }
    return messages;
}

std::vector<PeerMessage> RtmpServerPeer::Commands(const std::string& name) const {
    std::vector<PeerMessage> found;
    for (const PeerMessage& m : Messages()) {
        if (m.name == name) found.push_back(m);
    }
    return found;
}

}  // namespace testsupport
