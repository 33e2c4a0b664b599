#include "SendService/SendService.h"
#include "Fundamentals/ConsoleLog.h"
#include "Platform/Bundle.h"
#include "QelUIFramework2/QelUIFramework2.h"
#include "SendService/ServiceHelpers.h"
#include "SharedCode/QELDesignFile.h"

namespace Brodix::SendService {

SendService::SendService() : m_supportedFiles(ServiceHelpers::MainBundleSendFileTypes()) {}

void SendService::process(Platform::Pasteboard& pasteboard, std::string const&, std::string*)
{
    std::vector<Platform::URL> const urls = ServiceHelpers::PboardToPaths(pasteboard, m_supportedFiles);
    if (urls.empty()) {
        ConsoleLog("%s", kNothingToSendMessage);
        return;
    }
    sendFilesToMachine(urls);
}

void SendService::sendFilesToMachine(std::vector<Platform::URL> const& urls)
{
    Platform::Application::Shared().activateIgnoringOtherApps(true);
    QelUIFramework::QelProgressWindow::startProcessingBlock(
        [urls](QelUIFramework::QelProgressWindow& window) {
            for (Platform::URL const& url : urls) {
                QELDesignFile file(url);
                std::string const format = Platform::Bundle::Main().localizedString(kSendingKey, "");
                window.setInfoText(Platform::FormatString(format, {url.lastPathComponent()}));
                if (file.isValid())
                    file.sendToMachine();
                window.stepIt();
            }
        },
        urls.size());
}

} // namespace Brodix::SendService
