// qel-send-service: started by the desktop with the selected files, it
// registers its services provider, lets the run loop deliver the request
// once, and ends.
#include "Fundamentals/SettingsProvider.h"
#include "Platform/Application.h"
#include "Platform/Bundle.h"
#include "QelUIFramework2/QelUIFramework2.h"
#include "SendService/SendService.h"
#include "SendService/ServiceHelpers.h"
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
constexpr double kRunLoopSeconds = 5.0;
constexpr bool kSettingsProviderFlag = true;

void PrintUsage()
{
    std::printf("Usage: qel-send-service FILE...\n"
                "Send embroidery design files to the machine: each is read, encoded as VP3 and\n"
                "posted on the session bus to qel-machine-link, which writes it into the\n"
                "machine's outbox. The desktop starts it with the files selected in the file\n"
                "manager. Ends with a summary of what was delivered; the exit status is 0 only\n"
                "when every file was delivered.\n"
                "\n"
                "  --help     show this help and exit\n"
                "  --version  show the version and exit\n");
}

} // namespace

int main(int argc, char** argv)
{
    using namespace Brodix;
    // Only as the sole argument: any other argument is a selected file.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintUsage();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("qel-send-service %s\n", QEL_VERSION);
        return 0;
    }
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
    // 0 only when every selected file reached the machine's outbox.
    return provider->allDelivered() ? 0 : 1;
}
