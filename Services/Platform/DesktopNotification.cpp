#include "Platform/DesktopNotification.h"
#include "Platform/SessionBus.h"
#include <sdbus-c++/sdbus-c++.h>
#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace Brodix::Platform {
namespace {

constexpr char kNotificationsName[] = "org.freedesktop.Notifications";
constexpr char kNotificationsPath[] = "/org/freedesktop/Notifications";
constexpr char kNotificationsInterface[] = "org.freedesktop.Notifications";
constexpr char kBusName[] = "org.freedesktop.DBus";
constexpr char kBusPath[] = "/org/freedesktop/DBus";
constexpr char kBusInterface[] = "org.freedesktop.DBus";
// A server that does not answer within this is treated as absent.
constexpr auto kCallTimeout = std::chrono::seconds(2);

bool ServerAvailable(sdbus::IConnection& bus)
{
    auto daemon = sdbus::createProxy(bus, kBusName, kBusPath);
    bool owned = false;
    daemon->callMethod("NameHasOwner").onInterface(kBusInterface).withTimeout(kCallTimeout)
        .withArguments(std::string(kNotificationsName)).storeResultsTo(owned);
    if (owned)
        return true;
    std::vector<std::string> activatable;
    daemon->callMethod("ListActivatableNames").onInterface(kBusInterface).withTimeout(kCallTimeout)
        .storeResultsTo(activatable);
    return std::find(activatable.begin(), activatable.end(), kNotificationsName) != activatable.end();
}

} // namespace

struct DesktopNotification::Connection {
    std::unique_ptr<sdbus::IConnection> bus;
    std::unique_ptr<sdbus::IProxy> server;
};

DesktopNotification::~DesktopNotification() = default;

std::unique_ptr<DesktopNotification> DesktopNotification::Connect(std::string const& applicationName)
{
    auto bus = ConnectSessionBus(nullptr);
    if (!bus)
        return nullptr;
    try {
        if (!ServerAvailable(*bus))
            return nullptr;
        std::unique_ptr<DesktopNotification> notification(new DesktopNotification());
        notification->m_applicationName = applicationName;
        notification->m_connection = std::make_unique<Connection>();
        notification->m_connection->server = sdbus::createProxy(*bus, kNotificationsName, kNotificationsPath);
        notification->m_connection->bus = std::move(bus);
        return notification;
    } catch (sdbus::Error const&) {
        return nullptr;
    }
}

bool DesktopNotification::Show(std::string const& summary, std::string const& body, int percent,
                               int expireMilliseconds)
{
    std::map<std::string, sdbus::Variant> hints;
    hints.emplace("value", sdbus::Variant(static_cast<int32_t>(std::clamp(percent, 0, 100))));
    std::vector<std::string> const noActions;
    try {
        std::uint32_t id = 0;
        m_connection->server->callMethod("Notify").onInterface(kNotificationsInterface).withTimeout(kCallTimeout)
            .withArguments(ValidUtf8(m_applicationName), m_id, std::string(), ValidUtf8(summary), ValidUtf8(body),
                           noActions, hints, static_cast<int32_t>(expireMilliseconds))
            .storeResultsTo(id);
        m_id = id;
        return true;
    } catch (sdbus::Error const&) {
        return false;
    }
}

} // namespace Brodix::Platform
