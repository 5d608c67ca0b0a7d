// How a relay service reports to its owner. Called from the relay's send and read threads and from the
// device program's thread, so implementations must not block: longer work goes to the owner's own thread.
#pragma once

class RelayServiceHandler {
public:
    virtual ~RelayServiceHandler() = default;

    // The session has failed; the owner must stop and destroy the service from another thread.
    virtual int relayServiceOnStatus(int service_id) = 0;
    // Not called by the relay service.
    virtual int OnPublish(int service_id) = 0;
    virtual int OnPlay(int service_id) = 0;
    // The combined pause state changed; timestamp is always 0.
    virtual int OnPause(int service_id, int pause, double timestamp) = 0;
    // timestamp in milliseconds.
    virtual int OnSeek(int service_id, double timestamp) = 0;
    virtual int OnSetPlayParam(int service_id, int only_key_frame, double speed) = 0;
};
