// The time marks of one relay session's start-up, for the device monitor's timing report.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "biz/user_interface/device_monitor.h"

// Steady-clock milliseconds, 0 while not reached; each is taken once. Atomic because the send thread,
// the read thread and the owner record and report them concurrently.
struct RelayMilestones {
    std::atomic<uint64_t> recv_push{0};
    std::atomic<uint64_t> start_rtmp{0};
    std::atomic<uint64_t> hand_shake{0};
    std::atomic<uint64_t> first_i_frame{0};
    std::atomic<uint64_t> force_i_frame{0};
    std::atomic<uint64_t> first_i_frame_after_force{0};

    // Takes the mark now unless it was taken before.
    static void Record(std::atomic<uint64_t>& mark, uint64_t now_ms) {
        uint64_t unset = 0;
        mark.compare_exchange_strong(unset, now_ms);
    }

    MonitorRelayInfo Report(const std::string& base) const {
        return MonitorRelayInfo{base,
                                Text(recv_push),
                                Text(start_rtmp),
                                Text(hand_shake),
                                Text(first_i_frame),
                                Text(force_i_frame),
                                Text(first_i_frame_after_force)};
    }

private:
    static std::string Text(const std::atomic<uint64_t>& mark) {
        const uint64_t value = mark.load();
        return value == 0 ? std::string() : std::to_string(value);
    }
};
