#include "Platform/DistributedNotificationCenter.h"
#include "Platform/SessionBus.h"
#include <systemd/sd-bus.h>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <exception>
#include <utility>
#include <cstring>
#include <map>
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
constexpr auto kFlushLimit = std::chrono::seconds(10);
constexpr int kFlushPollMilliseconds = 200;

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

bool Travels(PropertyValue const& value)
{
    return value.String() != nullptr || value.Data() != nullptr || value.Integer() || value.Boolean();
}

// Appends one user-info value as a variant; sd-bus copies data in one piece
// (sdbus-c++ appends, and then copies, an "ay" byte by byte, which took
// longer than loading and encoding the design). Negative errno on failure,
// -EINVAL for a kind that does not travel.
int AppendVariant(sd_bus_message* message, PropertyValue const& value)
{
    auto container = [message](char const* type, auto append) {
        int result = sd_bus_message_open_container(message, 'v', type);
        if (result >= 0)
            result = append();
        return result >= 0 ? sd_bus_message_close_container(message) : result;
    };
    if (auto const* text = value.String()) {
        std::string const valid = ValidUtf8(*text);   // holds no NUL
        return container("s", [&] { return sd_bus_message_append_basic(message, 's', valid.c_str()); });
    }
    if (auto const* data = value.Data())
        return container("ay", [&] { return sd_bus_message_append_array(message, 'y', data->data(), data->size()); });
    if (auto const number = value.Integer()) {
        if (*number >= std::numeric_limits<int32_t>::min() && *number <= std::numeric_limits<int32_t>::max()) {
            int32_t const narrow = static_cast<int32_t>(*number);
            return container("i", [&] { return sd_bus_message_append_basic(message, 'i', &narrow); });
        }
        int64_t const wide = *number;
        return container("x", [&] { return sd_bus_message_append_basic(message, 'x', &wide); });
    }
    if (auto const flag = value.Boolean()) {
        int const truth = *flag ? 1 : 0;
        return container("b", [&] { return sd_bus_message_append_basic(message, 'b', &truth); });
    }
    return -EINVAL;
}

// The Notification signal: the name, then the user info as a{sv}, its keys
// made valid UTF-8 (of keys that become equal, the first in order stays).
int BuildNotification(sd_bus* bus, std::string const& name, PropertyDictionary const& userInfo,
                      sd_bus_message** built)
{
    std::map<std::string, PropertyValue const*> entries;
    for (auto const& [key, value] : userInfo)
        entries.emplace(ValidUtf8(key), &value);
    sd_bus_message* message = nullptr;
    int result = sd_bus_message_new_signal(bus, &message, kNotificationObjectPath, kNotificationInterface,
                                           kNotificationSignal);
    if (result >= 0)
        result = sd_bus_message_append_basic(message, 's', name.c_str());
    if (result >= 0)
        result = sd_bus_message_open_container(message, 'a', "{sv}");
    for (auto entry = entries.begin(); result >= 0 && entry != entries.end(); ++entry) {
        result = sd_bus_message_open_container(message, 'e', "sv");
        if (result >= 0)
            result = sd_bus_message_append_basic(message, 's', entry->first.c_str());
        if (result >= 0)
            result = AppendVariant(message, *entry->second);
        if (result >= 0)
            result = sd_bus_message_close_container(message);
    }
    if (result >= 0)
        result = sd_bus_message_close_container(message);
    if (result < 0) {
        sd_bus_message_unref(message);
        return result;
    }
    *built = message;
    return result;
}

bool IsDisconnection(int result) { return result == -ENOTCONN || result == -ECONNRESET || result == -EPIPE; }

template <typename T>
int ReadInteger(sd_bus_message* message, char type, PropertyValue& value)
{
    T number{};
    int const result = sd_bus_message_read_basic(message, type, &number);
    value = PropertyValue(static_cast<std::int64_t>(number));
    return result;
}

// One user-info value; kinds without a use in our notifications arrive as
// empty values. The image comes out of the message in one piece.
int ReadVariant(sd_bus_message* message, PropertyValue& value)
{
    char type = 0;
    char const* contents = nullptr;
    int result = sd_bus_message_peek_type(message, &type, &contents);
    if (result <= 0 || type != 'v' || contents == nullptr)
        return result < 0 ? result : -ENXIO;
    std::string const signature = contents;
    result = sd_bus_message_enter_container(message, 'v', contents);
    if (result < 0)
        return result;
    if (signature == "s") {
        char const* text = nullptr;
        result = sd_bus_message_read_basic(message, 's', &text);
        value = PropertyValue(std::string(text != nullptr ? text : ""));
    } else if (signature == "ay") {
        void const* data = nullptr;
        std::size_t size = 0;
        result = sd_bus_message_read_array(message, 'y', &data, &size);
        auto const* bytes = static_cast<unsigned char const*>(data);
        value = bytes != nullptr ? PropertyValue(PropertyData(bytes, bytes + size)) : PropertyValue(PropertyData());
    } else if (signature == "b") {
        int flag = 0;
        result = sd_bus_message_read_basic(message, 'b', &flag);
        value = PropertyValue(flag != 0);
    } else if (signature == "y") {
        result = ReadInteger<uint8_t>(message, 'y', value);
    } else if (signature == "n") {
        result = ReadInteger<int16_t>(message, 'n', value);
    } else if (signature == "q") {
        result = ReadInteger<uint16_t>(message, 'q', value);
    } else if (signature == "i") {
        result = ReadInteger<int32_t>(message, 'i', value);
    } else if (signature == "u") {
        result = ReadInteger<uint32_t>(message, 'u', value);
    } else if (signature == "x") {
        result = ReadInteger<int64_t>(message, 'x', value);
    } else {
        result = sd_bus_message_skip(message, contents);
        value = PropertyValue();
    }
    return result < 0 ? result : sd_bus_message_exit_container(message);
}

// Nothing when the signal is not (s name, a{sv} userInfo); of keys that
// repeat, the first stays.
std::optional<PropertyDictionary> ReadUserInfo(sd_bus_message* message)
{
    char const* name = nullptr;
    if (sd_bus_message_read_basic(message, 's', &name) < 0 || sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
        return std::nullopt;
    PropertyDictionary userInfo;
    for (;;) {
        int const entered = sd_bus_message_enter_container(message, 'e', "sv");
        if (entered < 0)
            return std::nullopt;
        if (entered == 0)
            break;
        char const* key = nullptr;
        PropertyValue value;
        if (sd_bus_message_read_basic(message, 's', &key) < 0 || ReadVariant(message, value) < 0
            || sd_bus_message_exit_container(message) < 0)
            return std::nullopt;
        userInfo.emplace(key, std::move(value));
    }
    if (sd_bus_message_exit_container(message) < 0)
        return std::nullopt;
    return userInfo;
}

// Milliseconds until sd-bus wants to be called again, for poll.
int PollTimeout(sd_bus* bus)
{
    uint64_t due = 0;
    if (sd_bus_get_timeout(bus, &due) < 0 || due == UINT64_MAX)
        return -1;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t const nowMicroseconds = static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    if (due <= nowMicroseconds)
        return 0;
    uint64_t const milliseconds = (due - nowMicroseconds + 999) / 1000;
    return static_cast<int>(std::min<uint64_t>(milliseconds, std::numeric_limits<int>::max()));
}

} // namespace

// Posting has a plain sd-bus connection of its own: see AppendVariant.
struct DistributedNotificationCenter::Connection {
    sd_bus* bus = nullptr;
    ~Connection() { sd_bus_flush_close_unref(bus); }
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
    for (auto const& entry : userInfo)
        if (!Travels(entry.second))
            return false;
    // A connection the bus has closed is replaced once, so one lost
    // connection does not silence the rest of the run.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_connectAttempted) {
            m_connectAttempted = true;
            auto connection = std::make_unique<Connection>();
            int const opened = sd_bus_open_user(&connection->bus);
            if (opened >= 0)
                m_connection = std::move(connection);
            else
                m_connectError = std::strerror(-opened);
        }
        if (!m_connection) {
            std::fprintf(stderr, "debug: notification \"%s\" not posted: no session bus (%s)\n", name.c_str(),
                         m_connectError.c_str());
            return false;
        }
        sd_bus_message* message = nullptr;
        int result = BuildNotification(m_connection->bus, name, userInfo, &message);
        if (result >= 0) {
            result = sd_bus_send(m_connection->bus, message, nullptr);
            sd_bus_message_unref(message);
        }
        if (result >= 0)
            break;
        if (attempt > 0 || !IsDisconnection(result)) {
            std::fprintf(stderr, "debug: notification \"%s\" not posted: %s\n", name.c_str(), std::strerror(-result));
            return false;
        }
        m_connection.reset();
        m_connectAttempted = false;
    }
    if (deliverImmediately)
        Flush();
    return true;
}

// As FlushSessionBus: at most kFlushLimit, so a stalled bus cannot hold the
// service for ever. A new connection is still greeting the bus, with its
// posts queued behind the greeting: done only once it is ready and has
// nothing left to write.
void DistributedNotificationCenter::Flush()
{
    if (!m_connection)
        return;
    sd_bus* const bus = m_connection->bus;
    auto const deadline = std::chrono::steady_clock::now() + kFlushLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        while (sd_bus_process(bus, nullptr) > 0) {
        }
        int const events = sd_bus_get_events(bus);
        if (events < 0 || (sd_bus_is_ready(bus) > 0 && (events & POLLOUT) == 0))
            return;
        pollfd fd{sd_bus_get_fd(bus), static_cast<short>(events), 0};
        ::poll(&fd, 1, kFlushPollMilliseconds);
    }
}

// The listener reads through sd-bus itself too: sdbus-c++ reads an "ay" byte
// by byte, twice.
struct NotificationListener::Connection {
    sd_bus* bus = nullptr;
    sd_bus_slot* match = nullptr;
    // What a handler threw, carried past sd-bus's C frames to Run's caller.
    std::exception_ptr failure;
    ~Connection()
    {
        sd_bus_slot_unref(match);
        sd_bus_flush_close_unref(bus);
    }
};

std::unique_ptr<NotificationListener> NotificationListener::Create(std::string const& name, Handler handler,
                                                                   std::string* error)
{
    auto connection = std::make_unique<Connection>();
    int result = sd_bus_open_user(&connection->bus);
    if (result < 0) {
        if (error != nullptr)
            *error = std::string("no session bus: ") + std::strerror(-result);
        return nullptr;
    }
    std::unique_ptr<NotificationListener> listener(new NotificationListener());
    listener->m_handler = std::move(handler);
    // Any sender may emit on any path, so the path is not part of the match.
    std::string const rule = std::string("type='signal',interface='") + kNotificationInterface + "',member='" +
                             kNotificationSignal + "',arg0='" + name + "'";
    auto const dispatch = [](sd_bus_message* message, void* self, sd_bus_error*) {
        auto* const listener = static_cast<NotificationListener*>(self);
        try {
            listener->m_handler(ReadUserInfo(message));
        } catch (...) {
            listener->m_connection->failure = std::current_exception();
        }
        return 0;
    };
    result = sd_bus_add_match(connection->bus, &connection->match, rule.c_str(), dispatch, listener.get());
    if (result < 0) {
        if (error != nullptr)
            *error = std::strerror(-result);
        return nullptr;
    }
    listener->m_connection = std::move(connection);
    return listener;
}

NotificationListener::~NotificationListener() = default;

bool NotificationListener::ClaimBusName(std::string const& busName, std::string* error)
{
    int const result = sd_bus_request_name(m_connection->bus, busName.c_str(), 0);
    if (result >= 0)
        return true;
    if (error != nullptr)
        *error = std::strerror(-result);
    return false;
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
    sd_bus* const bus = m_connection->bus;
    std::exception_ptr failure;
    while (!m_stopped && !signalled) {
        int processed = 0;
        while (!m_stopped && !m_connection->failure && (processed = sd_bus_process(bus, nullptr)) > 0) {
        }
        if (m_connection->failure) {
            failure = std::exchange(m_connection->failure, nullptr);
            break;
        }
        if (processed < 0) {
            std::fprintf(stderr, "session bus: %s\n", std::strerror(-processed));
            break;
        }
        if (m_stopped)
            break;
        int const events = sd_bus_get_events(bus);
        pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(events < 0 ? 0 : events), 0}, {signalFd, POLLIN, 0}};
        int const ready = ::poll(fds, signalFd >= 0 ? 2 : 1, PollTimeout(bus));
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
    if (failure)
        std::rethrow_exception(failure);
    return signalled;
}

} // namespace Brodix::Platform
