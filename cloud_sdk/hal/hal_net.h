// TCP connections to a named host for the TLS layer.
#pragma once

#include <cstdint>
#include <string>

namespace tessera {

// Connects a TCP socket (10 s send time-out) to host:port: a dotted IPv4 host directly; another name through
// the configured DNS servers, then the fallback addresses, then the system resolver; "localhost" through the
// system resolver only. Returns the socket, or -1 when no address connects.
int ConnectTcp(const std::string& host, uint16_t port);

// Only digits and dots, at most 15 characters.
bool IsDottedAddress(const std::string& host);

}  // namespace tessera
