// One desktop notification (org.freedesktop.Notifications on the session
// bus) that is shown and then updated in place, for progress shown outside a
// terminal.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace Brodix::Platform {

class DesktopNotification {
public:
    // Null when no notification server runs on, or can be started by, the
    // session bus.
    static std::unique_ptr<DesktopNotification> Connect(std::string const& applicationName);
    ~DesktopNotification();

    // Shows the notification, or replaces what it showed. percent (0 to 100)
    // goes out as the "value" hint that servers draw as a bar. A negative
    // expiry leaves it to the server. False when the server did not answer.
    bool Show(std::string const& summary, std::string const& body, int percent, int expireMilliseconds);

private:
    DesktopNotification() = default;
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    std::string m_applicationName;
    std::uint32_t m_id = 0;
};

} // namespace Brodix::Platform
