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

// Writes out queued messages, waiting at most a few seconds for a bus that
// does not read.
void FlushSessionBus(sdbus::IConnection& bus);

} // namespace Brodix::Platform
