#include "Platform/Application.h"
#include "Platform/Bundle.h"
#include "Platform/DistributedNotificationCenter.h"
#include <chrono>

namespace Brodix::Platform {
namespace {

constexpr char kServicesKey[] = "NSServices";
constexpr char kPortNameKey[] = "NSPortName";
constexpr char kMessageKey[] = "NSMessage";
constexpr char kUserDataKey[] = "NSUserData";

PropertyValue const* FirstServiceEntry()
{
    PropertyValue const* services = Bundle::Main().objectForInfoDictionaryKey(kServicesKey);
    if (services == nullptr || services->Array() == nullptr || services->Array()->empty())
        return nullptr;
    return &services->Array()->front();
}

std::string StringEntry(PropertyValue const& entry, char const* key)
{
    PropertyValue const* value = entry.Find(key);
    return value != nullptr && value->String() != nullptr ? *value->String() : std::string();
}

} // namespace

Application& Application::Shared()
{
    static Application application;
    return application;
}

void Application::SetArguments(std::vector<std::string> arguments)
{
    m_pending = Pasteboard::FromArguments(arguments);
}

void Application::SetArguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    SetArguments(std::move(arguments));
}

void Application::activateIgnoringOtherApps(bool) {}

void Application::RegisterServicesProvider(IServicesProvider* provider, std::string const& portName)
{
    if (provider != nullptr && !portName.empty())
        m_providers[portName] = provider;
}

void Application::UnregisterServicesProvider(IServicesProvider* provider)
{
    std::erase_if(m_providers, [provider](auto const& entry) { return entry.second == provider; });
}

void Application::UpdateDynamicServices() { m_servicesUpdated = true; }

bool Application::DeliverPendingRequest()
{
    if (!m_pending || !m_servicesUpdated)
        return false;
    PropertyValue const* entry = FirstServiceEntry();
    if (entry == nullptr)
        return false;
    auto const provider = m_providers.find(StringEntry(*entry, kPortNameKey));
    if (provider == m_providers.end() || StringEntry(*entry, kMessageKey) != kServiceMessage)
        return false;
    Pasteboard pasteboard = std::move(*m_pending);
    m_pending.reset();
    std::string error;
    provider->second->process(pasteboard, StringEntry(*entry, kUserDataKey), &error);
    return true;
}

void RegisterServicesProvider(IServicesProvider* provider, std::string const& portName)
{
    Application::Shared().RegisterServicesProvider(provider, portName);
}

void UpdateDynamicServices() { Application::Shared().UpdateDynamicServices(); }

RunLoop& RunLoop::Current()
{
    static thread_local RunLoop loop;
    return loop;
}

void RunLoop::runUntilDate(double secondsFromNow)
{
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(secondsFromNow);
    while (std::chrono::steady_clock::now() < deadline && Application::Shared().DeliverPendingRequest()) {
    }
    // Notifications posted by the handler leave before the process does.
    DistributedNotificationCenter::defaultCenter().Flush();
}

} // namespace Brodix::Platform
