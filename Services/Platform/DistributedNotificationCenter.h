// The distributed notification centre: notifications between processes of
// the same desktop session, carried as a D-Bus signal on the session bus.
//
//   object path  /com/brodix/DistributedNotificationCenter
//   interface    com.brodix.DistributedNotificationCenter
//   signal       Notification(s name, a{sv} userInfo)
//
// The signal is broadcast (no destination). User-info values travel as
// variants: strings as "s", data as "ay", integers as "i" (or "x" when they
// do not fit 32 bits), booleans as "b".
#pragma once
#include "Platform/PropertyList.h"
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Brodix::Platform {

inline constexpr char kNotificationObjectPath[] = "/com/brodix/DistributedNotificationCenter";
inline constexpr char kNotificationInterface[] = "com.brodix.DistributedNotificationCenter";
inline constexpr char kNotificationSignal[] = "Notification";

class DistributedNotificationCenter {
public:
    static DistributedNotificationCenter& defaultCenter();

    // Posts the notification; false when it could not be (no session bus, a
    // user-info value of a kind that cannot travel). Without a bus the post
    // fails silently apart from one debug line on standard error.
    // deliverImmediately sends the signal before returning.
    bool postNotification(std::string const& name, PropertyDictionary const& userInfo, bool deliverImmediately);

    // Sends whatever is still queued for the bus.
    void Flush();

    ~DistributedNotificationCenter();

private:
    DistributedNotificationCenter();
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    bool m_connectAttempted = false;
    std::string m_connectError;
};

// Receives one notification name from the session bus and runs until told to
// stop or until SIGINT or SIGTERM arrives.
class NotificationListener {
public:
    // userInfo is nothing when the signal did not have the documented shape.
    using Handler = std::function<void(std::optional<PropertyDictionary> const& userInfo)>;

    // Connects and subscribes; null (and *error set) without a session bus.
    static std::unique_ptr<NotificationListener> Create(std::string const& name, Handler handler,
                                                        std::string* error);
    ~NotificationListener();

    // Claims a well-known bus name so that one listener serves the session.
    bool ClaimBusName(std::string const& busName, std::string* error);
    // Dispatches notifications until Stop() or a termination signal; true
    // when a signal ended the run.
    bool Run();
    void Stop() { m_stopped = true; }

private:
    NotificationListener() = default;
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    Handler m_handler;
    bool m_stopped = false;
};

} // namespace Brodix::Platform
