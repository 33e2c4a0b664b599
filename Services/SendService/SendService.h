// The services provider of qel-send-service: takes the files of a service
// request, sends each to the machine under the progress window, collects
// what the receiver made of them and sums up.
#pragma once
#include "Platform/Application.h"
#include "Platform/URL.h"
#include "SendService/ServiceHelpers.h"
#include <optional>
#include <string>
#include <vector>

namespace Brodix::SendService {

inline constexpr char kNothingToSendMessage[] = "None of the selected items could be Sended.\n";
inline constexpr char kSendingKey[] = "Sending %@";
inline constexpr char kNoMachineLinkSummary[] = "No machine link is running: nothing was delivered";
inline constexpr char kNoStitchesReason[] = "no stitches";
inline constexpr char kNotPostedReason[] = "could not be sent";
inline constexpr char kNoAnswerReason[] = "no answer from the machine link";

struct NotSent {
    std::string name;
    std::string reason;
};

// "Sent 4 of 6 designs to the machine. Not sent: a.tvk (cannot be read), ..."
std::string SendSummary(std::size_t selected, std::size_t delivered, std::vector<NotSent> const& notSent);

class SendService : public Platform::IServicesProvider {
public:
    SendService();

    // The service handler: ignores the user data, never sets the error.
    void process(Platform::Pasteboard& pasteboard, std::string const& userData, std::string* error) override;
    void sendFilesToMachine(std::vector<Platform::URL> const& urls);

    // False once a selected item of a handled request was not delivered.
    bool allDelivered() const { return m_allDelivered; }

private:
    std::optional<std::vector<std::string>> m_supportedFiles;
    // The items of the request being handled that were skipped before
    // sending, and how many were selected in all.
    std::vector<ServiceHelpers::SelectedItem> m_selection;
    bool m_allDelivered = true;
};

} // namespace Brodix::SendService
