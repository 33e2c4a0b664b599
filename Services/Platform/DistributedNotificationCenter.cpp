#include "Platform/DistributedNotificationCenter.h"
#include "Platform/SessionBus.h"
#include <sdbus-c++/sdbus-c++.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace Brodix::Platform {
namespace {

// A D-Bus array, the user-info dictionary included, holds at most 2^26
// bytes; the bus drops a connection that sends more, so such a post is
// refused before it is sent. Each entry costs its key and some framing.
constexpr std::size_t kMaxBusArrayBytes = std::size_t{1} << 26;
constexpr std::size_t kEntryFramingBytes = 64;

std::size_t EncodedSizeEstimate(PropertyDictionary const& userInfo)
{
    std::size_t total = 0;
    for (auto const& [key, value] : userInfo) {
        total += key.size() + kEntryFramingBytes;
        if (auto const* text = value.String())
            total += text->size();
        else if (auto const* data = value.Data())
            total += data->size();
    }
    return total;
}

std::optional<sdbus::Variant> ToVariant(PropertyValue const& value)
{
    if (auto const* text = value.String())
        return sdbus::Variant(ValidUtf8(*text));
    if (auto const* data = value.Data())
        return sdbus::Variant(std::vector<uint8_t>(data->begin(), data->end()));
    if (auto const number = value.Integer()) {
        if (*number >= std::numeric_limits<int32_t>::min() && *number <= std::numeric_limits<int32_t>::max())
            return sdbus::Variant(static_cast<int32_t>(*number));
        return sdbus::Variant(static_cast<int64_t>(*number));
    }
    if (auto const flag = value.Boolean())
        return sdbus::Variant(*flag);
    return std::nullopt;
}

template <typename T>
std::optional<PropertyValue> IntegerFrom(sdbus::Variant const& variant)
{
    return PropertyValue(static_cast<std::int64_t>(variant.get<T>()));
}

// Kinds without a use in our notifications arrive as empty values.
PropertyValue FromVariant(sdbus::Variant const& variant)
{
    std::string const type = variant.peekValueType();
    if (type == "s")
        return PropertyValue(variant.get<std::string>());
    if (type == "ay") {
        auto const bytes = variant.get<std::vector<uint8_t>>();
        return PropertyValue(PropertyData(bytes.begin(), bytes.end()));
    }
    if (type == "b")
        return PropertyValue(variant.get<bool>());
    if (type == "y")
        return PropertyValue(static_cast<std::int64_t>(variant.get<uint8_t>()));
    if (type == "n")
        return PropertyValue(static_cast<std::int64_t>(variant.get<int16_t>()));
    if (type == "q")
        return PropertyValue(static_cast<std::int64_t>(variant.get<uint16_t>()));
    if (type == "i")
        return PropertyValue(static_cast<std::int64_t>(variant.get<int32_t>()));
    if (type == "u")
        return PropertyValue(static_cast<std::int64_t>(variant.get<uint32_t>()));
    if (type == "x")
        return PropertyValue(variant.get<int64_t>());
    return PropertyValue();
}

std::optional<PropertyDictionary> ReadUserInfo(sdbus::Message& message)
{
    try {
        std::string name;
        std::map<std::string, sdbus::Variant> entries;
        message >> name;
        message >> entries;
        if (!message)
            return std::nullopt;
        PropertyDictionary userInfo;
        for (auto const& [key, variant] : entries)
            userInfo.emplace(key, FromVariant(variant));
        return userInfo;
    } catch (sdbus::Error const&) {
        return std::nullopt;
    }
}

} // namespace

struct DistributedNotificationCenter::Connection {
    std::unique_ptr<sdbus::IConnection> bus;
    std::unique_ptr<sdbus::IObject> object;
};

DistributedNotificationCenter::DistributedNotificationCenter() = default;
DistributedNotificationCenter::~DistributedNotificationCenter() { Flush(); }

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter()
{
    static DistributedNotificationCenter center;
    return center;
}

bool DistributedNotificationCenter::postNotification(std::string const& name, PropertyDictionary const& userInfo,
                                                     bool deliverImmediately)
{
    if (EncodedSizeEstimate(userInfo) > kMaxBusArrayBytes) {
        std::fprintf(stderr, "debug: notification \"%s\" not posted: user info too large for the bus\n", name.c_str());
        return false;
    }
    std::map<std::string, sdbus::Variant> entries;
    try {
        for (auto const& [key, value] : userInfo) {
            auto variant = ToVariant(value);
            if (!variant)
                return false;
            entries.emplace(ValidUtf8(key), std::move(*variant));
        }
    } catch (sdbus::Error const& failure) {
        std::fprintf(stderr, "debug: notification \"%s\" not posted: %s\n", name.c_str(), failure.what());
        return false;
    }
    // A connection the bus has closed is replaced once, so one lost
    // connection does not silence the rest of the run.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_connectAttempted) {
            m_connectAttempted = true;
            if (auto bus = ConnectSessionBus(&m_connectError)) {
                auto connection = std::make_unique<Connection>();
                connection->object = sdbus::createObject(*bus, kNotificationObjectPath);
                connection->bus = std::move(bus);
                m_connection = std::move(connection);
            }
        }
        if (!m_connection) {
            std::fprintf(stderr, "debug: notification \"%s\" not posted: no session bus (%s)\n", name.c_str(),
                         m_connectError.c_str());
            return false;
        }
        try {
            m_connection->object->emitSignal(kNotificationSignal)
                .onInterface(kNotificationInterface)
                .withArguments(name, entries);
            break;
        } catch (sdbus::Error const& failure) {
            bool const firstTry = attempt == 0;
            if (!firstTry || failure.getName() != "org.freedesktop.DBus.Error.Disconnected") {
                std::fprintf(stderr, "debug: notification \"%s\" not posted: %s\n", name.c_str(), failure.what());
                return false;
            }
            m_connection.reset();
            m_connectAttempted = false;
        }
    }
    if (deliverImmediately)
        Flush();
    return true;
}

void DistributedNotificationCenter::Flush()
{
    if (m_connection)
        FlushSessionBus(*m_connection->bus);
}

struct NotificationListener::Connection {
    std::unique_ptr<sdbus::IConnection> bus;
    sdbus::Slot match;
};

std::unique_ptr<NotificationListener> NotificationListener::Create(std::string const& name, Handler handler,
                                                                   std::string* error)
{
    auto bus = ConnectSessionBus(error);
    if (!bus)
        return nullptr;
    std::unique_ptr<NotificationListener> listener(new NotificationListener());
    listener->m_handler = std::move(handler);
    listener->m_connection = std::make_unique<Connection>();
    // Any sender may emit on any path, so the path is not part of the match.
    std::string const rule = std::string("type='signal',interface='") + kNotificationInterface + "',member='" +
                             kNotificationSignal + "',arg0='" + name + "'";
    NotificationListener* self = listener.get();
    try {
        listener->m_connection->match = bus->addMatch(rule, [self](sdbus::Message& message) {
            self->m_handler(ReadUserInfo(message));
        });
    } catch (sdbus::Error const& failure) {
        if (error != nullptr)
            *error = failure.what();
        return nullptr;
    }
    listener->m_connection->bus = std::move(bus);
    return listener;
}

NotificationListener::~NotificationListener()
{
    if (m_connection)
        m_connection->match.reset();
}

bool NotificationListener::ClaimBusName(std::string const& busName, std::string* error)
{
    try {
        m_connection->bus->requestName(busName);
        return true;
    } catch (sdbus::Error const& failure) {
        if (error != nullptr)
            *error = failure.what();
        return false;
    }
}

bool NotificationListener::Run()
{
    // Termination signals arrive as readable data between two dispatches, so
    // a design is never left half written.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    int const signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    bool signalled = false;
    sdbus::IConnection& bus = *m_connection->bus;
    while (!m_stopped && !signalled) {
        try {
            while (!m_stopped && bus.processPendingRequest()) {
            }
        } catch (sdbus::Error const& failure) {
            std::fprintf(stderr, "session bus: %s\n", failure.what());
            break;
        }
        if (m_stopped)
            break;
        auto const pollData = bus.getEventLoopPollData();
        pollfd fds[2] = {{pollData.fd, pollData.events, 0}, {signalFd, POLLIN, 0}};
        int const ready = ::poll(fds, signalFd >= 0 ? 2 : 1, pollData.getPollTimeout());
        if (ready < 0 && errno != EINTR)
            break;
        if (signalFd >= 0 && (fds[1].revents & POLLIN) != 0) {
            signalfd_siginfo taken{};
            signalled = ::read(signalFd, &taken, sizeof taken) == static_cast<ssize_t>(sizeof taken);
        }
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 && (fds[0].revents & POLLIN) == 0)
            break;
    }
    if (signalFd >= 0)
        ::close(signalFd);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return signalled;
}

} // namespace Brodix::Platform
