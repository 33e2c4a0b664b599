#include "Platform/BusSignals.h"
#include "Platform/SessionBus.h"
#include <sdbus-c++/sdbus-c++.h>
#include <poll.h>

namespace Brodix::Platform {

namespace {

bool AskNameHasOwner(sdbus::IConnection& bus, std::string const& busName)
{
    try {
        auto proxy = sdbus::createProxy(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        bool owned = false;
        proxy->callMethod("NameHasOwner").onInterface("org.freedesktop.DBus").withArguments(busName).storeResultsTo(owned);
        return owned;
    } catch (sdbus::Error const&) {
        return false;
    }
}

} // namespace

struct BusSignalCollector::Connection {
    std::unique_ptr<sdbus::IConnection> bus;
    sdbus::Slot match;
};

std::unique_ptr<BusSignalCollector> BusSignalCollector::Create(std::string const& objectPath,
                                                               std::string const& interface, std::string* error)
{
    auto bus = ConnectSessionBus(error);
    if (!bus)
        return nullptr;
    std::unique_ptr<BusSignalCollector> collector(new BusSignalCollector());
    collector->m_connection = std::make_unique<Connection>();
    std::string const rule = "type='signal',path='" + objectPath + "',interface='" + interface + "'";
    BusSignalCollector* self = collector.get();
    try {
        collector->m_connection->match = bus->addMatch(rule, [self](sdbus::Message& message) {
            BusSignal signal{message.getMemberName(), {}, {}};
            try {
                message >> signal.first >> signal.second;
            } catch (sdbus::Error const&) {
                return;   // another shape: not one of ours
            }
            self->m_signals.push_back(std::move(signal));
        });
        // The match is in force only once the bus has answered AddMatch;
        // a round trip to the bus makes sure of it.
        auto proxy = sdbus::createProxy(*bus, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        proxy->callMethod("GetId").onInterface("org.freedesktop.DBus");
    } catch (sdbus::Error const& failure) {
        if (error != nullptr)
            *error = failure.what();
        return nullptr;
    }
    collector->m_connection->bus = std::move(bus);
    return collector;
}

bool BusSignalCollector::NameHasOwner(std::string const& busName)
{
    return AskNameHasOwner(*m_connection->bus, busName);
}

BusSignalCollector::~BusSignalCollector()
{
    if (m_connection)
        m_connection->match.reset();
}

std::vector<BusSignal> BusSignalCollector::WaitUntil(std::function<bool(std::vector<BusSignal> const&)> const& enough,
                                                     std::chrono::milliseconds limit)
{
    auto const deadline = std::chrono::steady_clock::now() + limit;
    sdbus::IConnection& bus = *m_connection->bus;
    try {
        while (!enough(m_signals)) {
            while (bus.processPendingRequest()) {
            }
            if (enough(m_signals))
                break;
            auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            auto const pollData = bus.getEventLoopPollData();
            pollfd fd{pollData.fd, pollData.events, 0};
            int const busTimeout = pollData.getPollTimeout();
            int const timeout = busTimeout < 0 ? static_cast<int>(left.count())
                                               : std::min(busTimeout, static_cast<int>(left.count()));
            ::poll(&fd, 1, timeout);
        }
    } catch (sdbus::Error const&) {
    }
    return m_signals;
}

struct BusSignalEmitter::Connection {
    std::unique_ptr<sdbus::IConnection> bus;
    std::unique_ptr<sdbus::IObject> object;
};

std::unique_ptr<BusSignalEmitter> BusSignalEmitter::Create(std::string const& objectPath, std::string* error)
{
    auto bus = ConnectSessionBus(error);
    if (!bus)
        return nullptr;
    std::unique_ptr<BusSignalEmitter> emitter(new BusSignalEmitter());
    emitter->m_connection = std::make_unique<Connection>();
    emitter->m_connection->object = sdbus::createObject(*bus, objectPath);
    emitter->m_connection->bus = std::move(bus);
    return emitter;
}

BusSignalEmitter::~BusSignalEmitter() = default;

bool BusSignalEmitter::Emit(std::string const& interface, std::string const& member, std::string const& first,
                            std::string const& second)
{
    try {
        m_connection->object->emitSignal(member).onInterface(interface).withArguments(ValidUtf8(first),
                                                                                       ValidUtf8(second));
    } catch (sdbus::Error const&) {
        return false;
    }
    FlushSessionBus(*m_connection->bus);
    return true;
}

} // namespace Brodix::Platform
