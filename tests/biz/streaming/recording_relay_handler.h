// A relay owner for tests: records every call as text, in arrival order, from whichever thread.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "biz/streaming/relay_stream/relay_service_handler.h"

namespace relaytest {

class RecordingRelayHandler : public RelayServiceHandler {
public:
    int relayServiceOnStatus(int id) override { return Add("status " + std::to_string(id)); }
    int OnPublish(int id) override { return Add("publish " + std::to_string(id)); }
    int OnPlay(int id) override { return Add("play " + std::to_string(id)); }
    int OnPause(int id, int pause, double timestamp) override {
        return Add(Format("pause %d %d %g", id, pause, timestamp));
    }
    int OnSeek(int id, double timestamp) override { return Add(Format("seek %d %g", id, timestamp)); }
    int OnSetPlayParam(int id, int only_key_frame, double speed) override {
        return Add(Format("param %d %d %g", id, only_key_frame, speed));
    }

    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    int Count(const std::string& call) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }
    // Polls until the call has arrived; the bound only keeps a broken run from hanging.
    bool WaitFor(const std::string& call, int attempts = 1000) const {
        for (int i = 0; i < attempts; ++i) {
            if (Count(call) > 0) return true;
            usleep(10 * 1000);
        }
        return false;
    }

private:
    static std::string Format(const char* fmt, int id, int value, double number) {
        char text[96];
        snprintf(text, sizeof text, fmt, id, value, number);
        return text;
    }
    static std::string Format(const char* fmt, int id, double number) {
        char text[96];
        snprintf(text, sizeof text, fmt, id, number);
        return text;
    }
    int Add(const std::string& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        return 0;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace relaytest
