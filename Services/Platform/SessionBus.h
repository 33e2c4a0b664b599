// The session-bus connection that the platform layer shares between its
// parts, and a flush that waits until queued messages have left.
#pragma once
#include <memory>
#include <string>

namespace sdbus {
class IConnection;
}

namespace Brodix::Platform {

// A new connection to the session bus; null (and *error set) without one.
std::unique_ptr<sdbus::IConnection> ConnectSessionBus(std::string* error);

// D-Bus strings must be valid UTF-8 (shortest form, no surrogates or
// noncharacters); the bus library throws on any other. Each byte that breaks
// the encoding becomes U+FFFD, so that a file name from a disk written in
// another encoding still travels.
std::string ValidUtf8(std::string const& text);

// Writes out queued messages, waiting at most a few seconds for a bus that
// does not read.
void FlushSessionBus(sdbus::IConnection& bus);

} // namespace Brodix::Platform
