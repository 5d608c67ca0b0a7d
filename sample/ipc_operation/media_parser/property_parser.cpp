#include "property_parser.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using PropertyTable = std::map<std::string, std::string>;

PropertyTable InitialProperties() {
    return {
        {"MicSwitch", "0"},
        {"SpeakerSwitch", "0"},
        {"StatusLightSwitch", "0"},
        {"DayNightMode", "0"},
        {"StreamVideoQuality", "0"},
        {"SubStreamVideoQuality", "0"},
        {"ImageFlipState", "0"},
        {"EncryptSwitch", "0"},
        {"AlarmSwitch", "0"},
        {"MotionDetectSensitivity", "0"},
        {"VoiceDetectionSensitivity", "0"},
        {"AlarmFrequencyLevel", "0"},
        {"AlarmNotifyPlan",
         "{{\"DayOfWeek\":0,\"BeginTime\":21600,\"EndTime\":36000},{\"DayOfWeek\":1,\"BeginTime\":21600,"
         "\"EndTime\":36000}}"},
        {"StorageStatus", "1"},
        {"StorageTotalCapacity", "128.000"},
        {"StorageRemainCapacity", "64.12"},
        {"StorageRecordMode", "0"},
    };
}

struct PropertyState {
    std::mutex mutex;
    PropertyTable table = InitialProperties();
    PropertyParser::Handler handler;
};

PropertyState& State() {
    static PropertyState state;
    return state;
}

}  // namespace

void PropertyParser::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().handler = std::move(handler);
}

void PropertyParser::GetAllProperty() {
    Handler handler;
    std::vector<std::pair<std::string, std::string>> entries;
    {
        std::lock_guard<std::mutex> lock(State().mutex);
        handler = State().handler;
        entries.assign(State().table.begin(), State().table.end());
    }
    if (!handler) return;
    for (const auto& [key, value] : entries) handler(key, value);
}

void PropertyParser::SetProperty(const std::string& key, const std::string& value) {
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(State().mutex);
        auto found = State().table.find(key);
        if (found != State().table.end()) found->second = value;
        handler = State().handler;
    }
    if (handler) handler(key, value);
}
