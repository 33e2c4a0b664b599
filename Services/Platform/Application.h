// The application object, services registration and the run loop.
//
// The service request that started the process is built from the process
// arguments and waits in the application object. It is addressed to the
// bundle's first "NSServices" entry: its "NSPortName" and "NSMessage". A run of
// the run loop delivers it once a provider is registered under that port and
// the services are updated; the provider's handler runs on the calling thread.
#pragma once
#include "Platform/Pasteboard.h"
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Platform {

// The message name that a services provider answers.
inline constexpr char kServiceMessage[] = "process";

class IServicesProvider {
public:
    // The handler of a service request: the selection, the entry's user data,
    // and an out-parameter for an error text.
    virtual void process(Pasteboard& pasteboard, std::string const& userData, std::string* error) = 0;

protected:
    virtual ~IServicesProvider() = default;
};

class Application {
public:
    static Application& Shared();

    // The process arguments after the program name: the selected files.
    void SetArguments(std::vector<std::string> arguments);
    void SetArguments(int argc, char** argv);

    // Brings the process to the front. A background service has no window
    // to raise on this desktop; its progress is shown by the UI framework.
    void activateIgnoringOtherApps(bool flag);

    void RegisterServicesProvider(IServicesProvider* provider, std::string const& portName);
    void UnregisterServicesProvider(IServicesProvider* provider);
    void UpdateDynamicServices();

    // Delivers the pending request if it can be delivered now; false when
    // there is nothing (more) to deliver.
    bool DeliverPendingRequest();
    bool HasPendingRequest() const { return m_pending.has_value(); }

private:
    std::optional<Pasteboard> m_pending;
    std::map<std::string, IServicesProvider*> m_providers;
    bool m_servicesUpdated = false;
};

// Registers provider under portName (NSRegisterServicesProvider).
void RegisterServicesProvider(IServicesProvider* provider, std::string const& portName);
// Publishes the registered services (NSUpdateDynamicServices).
void UpdateDynamicServices();

class RunLoop {
public:
    static RunLoop& Current();
    // Runs until the deadline, seconds from now, and returns as soon as no
    // request or handler is left. A handler that is running at the deadline
    // is not interrupted.
    void runUntilDate(double secondsFromNow);
};

} // namespace Brodix::Platform
