#include "SendService/SendService.h"
#include "Fundamentals/ConsoleLog.h"
#include "Platform/Bundle.h"
#include "Platform/BusSignals.h"
#include "Platform/SessionBus.h"
#include "QelUIFramework2/QelUIFramework2.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include "SharedCode/QELDesignFile.h"
#include <algorithm>
#include <chrono>

namespace Brodix::SendService {
namespace {

namespace Contract = SendToMachineContract;
// How long the receiver may take to answer for the last design posted.
constexpr auto kOutcomeWait = std::chrono::seconds(5);

struct Posted {
    std::string name;    // as it travels on the bus
    std::size_t index;   // in the selection
};

// The outcome of each posted design, matched by name in posting order;
// nothing for a design that has no outcome yet.
std::vector<std::optional<Platform::BusSignal>> MatchOutcomes(std::vector<Posted> const& posted,
                                                              std::vector<Platform::BusSignal> const& signals)
{
    std::vector<std::optional<Platform::BusSignal>> matched(posted.size());
    std::vector<bool> used(signals.size(), false);
    for (std::size_t p = 0; p < posted.size(); ++p)
        for (std::size_t s = 0; s < signals.size(); ++s)
            if (!used[s] && signals[s].first == posted[p].name &&
                (signals[s].member == Contract::kDeliveredSignal || signals[s].member == Contract::kRefusedSignal)) {
                used[s] = true;
                matched[p] = signals[s];
                break;
            }
    return matched;
}

} // namespace

std::string SendSummary(std::size_t selected, std::size_t delivered, std::vector<NotSent> const& notSent)
{
    std::string summary = "Sent " + std::to_string(delivered) + " of " + std::to_string(selected) +
                          (selected == 1 ? " design" : " designs") + " to the machine.";
    if (notSent.empty())
        return summary;
    summary += " Not sent: ";
    for (std::size_t i = 0; i < notSent.size(); ++i)
        summary += (i == 0 ? "" : ", ") + notSent[i].name + " (" + notSent[i].reason + ")";
    return summary;
}

SendService::SendService() : m_supportedFiles(ServiceHelpers::MainBundleSendFileTypes()) {}

void SendService::process(Platform::Pasteboard& pasteboard, std::string const&, std::string*)
{
    m_selection = ServiceHelpers::SortPasteboard(pasteboard, m_supportedFiles, Platform::Bundle::Main());
    std::vector<Platform::URL> urls;
    for (ServiceHelpers::SelectedItem const& item : m_selection)
        if (item.url)
            urls.push_back(*item.url);
    if (urls.empty()) {
        ConsoleLog("%s", kNothingToSendMessage);
        if (!m_selection.empty()) {
            std::vector<NotSent> notSent;
            for (ServiceHelpers::SelectedItem const& item : m_selection)
                notSent.push_back({item.name, item.reason});
            ConsoleLog("%s\n", SendSummary(m_selection.size(), 0, notSent).c_str());
            m_allDelivered = false;
        }
        return;
    }
    sendFilesToMachine(urls);
}

void SendService::sendFilesToMachine(std::vector<Platform::URL> const& urls)
{
    // Called without process(): the URLs are the whole selection.
    if (m_selection.empty())
        for (Platform::URL const& url : urls)
            m_selection.push_back({url.lastPathComponent(), url, {}});
    Platform::Application::Shared().activateIgnoringOtherApps(true);
    QelUIFramework::QelProgressWindow::startProcessingBlock(
        [this, &urls](QelUIFramework::QelProgressWindow& window) {
            // Subscribed before the first post, so no outcome slips past; the
            // receiver is looked for on the same connection.
            std::string error;
            auto collector = Platform::BusSignalCollector::Create(Contract::kMachineLinkObjectPath,
                                                                  Contract::kMachineLinkInterface, &error);
            bool const receiverRunning = collector && collector->NameHasOwner(Contract::kMachineLinkBusName);
            auto const outcomes = receiverRunning ? std::move(collector) : nullptr;
            std::vector<std::string> reasons(m_selection.size());
            for (std::size_t i = 0; i < m_selection.size(); ++i)
                reasons[i] = m_selection[i].reason;
            std::vector<Posted> posted;
            std::size_t next = 0;
            for (Platform::URL const& url : urls) {
                while (next < m_selection.size() && !m_selection[next].url)
                    ++next;
                std::size_t const index = next++;
                QELDesignFile file(url);
                std::string const format = Platform::Bundle::Main().localizedString(kSendingKey, "");
                window.setInfoText(Platform::FormatString(format, {url.lastPathComponent()}));
                if (!file.isValid())
                    reasons[index] = file.loadProblem();
                else if (!file.hasStitchesToSew())
                    reasons[index] = kNoStitchesReason;
                else if (!file.sendToMachine())
                    reasons[index] = file.sendProblem().empty() ? kNotPostedReason : file.sendProblem();
                else
                    posted.push_back({Platform::ValidUtf8(url.lastPathComponent()), index});
                window.stepIt();
            }

            std::size_t delivered = 0;
            if (outcomes) {
                auto const enough = [&posted](std::vector<Platform::BusSignal> const& signals) {
                    auto const matched = MatchOutcomes(posted, signals);
                    return std::all_of(matched.begin(), matched.end(), [](auto const& m) { return m.has_value(); });
                };
                auto const matched = MatchOutcomes(posted, outcomes->WaitUntil(enough, kOutcomeWait));
                for (std::size_t p = 0; p < posted.size(); ++p) {
                    std::string& reason = reasons[posted[p].index];
                    if (!matched[p])
                        reason = kNoAnswerReason;
                    else if (matched[p]->member == Contract::kRefusedSignal)
                        reason = "refused: " + matched[p]->second;
                    else
                        ++delivered;
                }
            }
            m_allDelivered = delivered == m_selection.size();
            if (!outcomes) {
                window.setFinalText(kNoMachineLinkSummary);
                return;
            }
            std::vector<NotSent> notSent;
            for (std::size_t i = 0; i < m_selection.size(); ++i)
                if (!reasons[i].empty())
                    notSent.push_back({m_selection[i].name, reasons[i]});
            window.setFinalText(SendSummary(m_selection.size(), delivered, notSent));
        },
        urls.size());
    m_selection.clear();
}

} // namespace Brodix::SendService
