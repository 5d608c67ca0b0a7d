// What the service-id registry asks of the services around it. The stream session supplies it: it forwards
// the id events to the stream check and knows how to destroy the relay services it creates.
#pragma once

class RelayService;

class StreamManagerDelegate {
public:
    virtual ~StreamManagerDelegate() = default;
    // A new id was bound: the stream check starts watching it (StreamCheck::GetInstance()->Start(id)).
    virtual void OnServiceBound(int service_id) = 0;
    // The id was unbound: the stream check forgets it (StreamCheck::GetInstance()->Stop(id)).
    virtual void OnServiceUnbound(int service_id) = 0;
    // The record owning relay_service was released by its last user: destroy it (its destructor stops it).
    virtual void DestroyRelayService(RelayService* relay_service) = 0;
};
