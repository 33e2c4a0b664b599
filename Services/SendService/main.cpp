// qel-send-service: started by the desktop with the selected files, it
// registers its services provider, lets the run loop deliver the request
// once, and ends.
#include "Fundamentals/SettingsProvider.h"
#include "Platform/Application.h"
#include "Platform/Bundle.h"
#include "QelUIFramework2/QelUIFramework2.h"
#include "SendService/SendService.h"
#include "SendService/ServiceHelpers.h"
#include <memory>

namespace {
constexpr double kRunLoopSeconds = 5.0;
constexpr bool kSettingsProviderFlag = true;
} // namespace

int main(int argc, char** argv)
{
    using namespace Brodix;
    // The one use of the arguments: they are the service request's selection.
    Platform::Application::Shared().SetArguments(argc, argv);

    SettingsProvider::DefaultSettingsProvider settingsProvider(kSettingsProviderFlag);
    {
        SettingsProvider::Singleton::Lock lock;
        lock.set(settingsProvider);
    }
    InitSettingsProvider_QelUIFramework(&settingsProvider);

    Platform::PropertyValue const* services =
        Platform::Bundle::Main().objectForInfoDictionaryKey(SendService::ServiceHelpers::kServicesKey);
    if (services == nullptr || services->Array() == nullptr || services->Array()->size() != 1)
        return 0;
    Platform::PropertyValue const& entry = services->Array()->front();
    Platform::PropertyValue const* portName = entry.Find(SendService::ServiceHelpers::kPortNameKey);
    if (portName == nullptr || portName->String() == nullptr || portName->String()->empty())
        return 0;

    auto provider = std::make_unique<SendService::SendService>();
    Platform::RegisterServicesProvider(provider.get(), *portName->String());
    Platform::UpdateDynamicServices();
    Platform::RunLoop::Current().runUntilDate(kRunLoopSeconds);
    Platform::Application::Shared().UnregisterServicesProvider(provider.get());
    return 0;
}
