// Invokes sent with the queue flag, matched to their _result by transaction id (RTMP 7.2.1.1).
#include <algorithm>

#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"

namespace rtmp_engine {

void PendingCallAdd(RTMP* r, const AVal& name, int transaction_id) {
    ConnectionLock lock(r);
    r->m_methodCalls.push_back({std::string(name.av_val, static_cast<size_t>(name.av_len)), transaction_id});
}

std::string PendingCallTake(RTMP* r, int transaction_id) {
    ConnectionLock lock(r);
    auto& calls = r->m_methodCalls;
    auto found = std::find_if(calls.begin(), calls.end(), [&](const RTMP_METHOD& m) { return m.num == transaction_id; });
    if (found == calls.end()) return {};
    std::string name = std::move(found->name);
    calls.erase(found);
    return name;
}

void PendingCallDrop(RTMP* r, const char* name) {
    ConnectionLock lock(r);
    auto& calls = r->m_methodCalls;
    auto found = std::find_if(calls.begin(), calls.end(), [&](const RTMP_METHOD& m) { return m.name == name; });
    if (found != calls.end()) calls.erase(found);
}

}  // namespace rtmp_engine
