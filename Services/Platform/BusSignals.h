// Signals of two strings on the session bus, for a sender that wants to hear
// what became of what it posted, and whether a bus name has an owner.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Brodix::Platform {

struct BusSignal {
    std::string member;
    std::string first;
    std::string second;
};

// Collects the (s, s) signals of one interface emitted on one object path.
class BusSignalCollector {
public:
    // Subscribes at once, so that nothing emitted afterwards is missed; null
    // (and *error set) without a session bus.
    static std::unique_ptr<BusSignalCollector> Create(std::string const& objectPath, std::string const& interface,
                                                      std::string* error);
    ~BusSignalCollector();

    // Dispatches until enough(signals so far) is true or the time is up;
    // returns the signals collected, in arrival order.
    std::vector<BusSignal> WaitUntil(std::function<bool(std::vector<BusSignal> const&)> const& enough,
                                     std::chrono::milliseconds limit);
    // True when some connection owns the well-known name; asked on the
    // collector's connection, which spares one of its own (each costs a
    // handshake with the bus).
    bool NameHasOwner(std::string const& busName);

private:
    BusSignalCollector() = default;
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    std::vector<BusSignal> m_signals;
};

// Emits (s, s) signals from one object on a connection of its own.
class BusSignalEmitter {
public:
    static std::unique_ptr<BusSignalEmitter> Create(std::string const& objectPath, std::string* error);
    ~BusSignalEmitter();
    // Sent before it returns; false when the bus refused it.
    bool Emit(std::string const& interface, std::string const& member, std::string const& first,
              std::string const& second);

private:
    BusSignalEmitter() = default;
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace Brodix::Platform
