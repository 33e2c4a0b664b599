// The services provider of qel-send-service: takes the files of a service
// request and sends each to the machine under the progress window.
#pragma once
#include "Platform/Application.h"
#include "Platform/URL.h"
#include <optional>
#include <string>
#include <vector>

namespace Brodix::SendService {

inline constexpr char kNothingToSendMessage[] = "None of the selected items could be Sended.\n";
inline constexpr char kSendingKey[] = "Sending %@";

class SendService : public Platform::IServicesProvider {
public:
    SendService();

    // The service handler: ignores the user data, never sets the error.
    void process(Platform::Pasteboard& pasteboard, std::string const& userData, std::string* error) override;
    void sendFilesToMachine(std::vector<Platform::URL> const& urls);

private:
    std::optional<std::vector<std::string>> m_supportedFiles;
};

} // namespace Brodix::SendService
