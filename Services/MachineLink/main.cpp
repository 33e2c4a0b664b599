// qel-machine-link: the receiver of the send service's designs. It listens on
// the session bus for "QelSendToMachineNotification", writes each design into
// the machine's outbox folder, logs one line per notification and tells the
// sender what became of it with an outcome signal.
#include "MachineLink/Outbox.h"
#include "Platform/BusSignals.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

namespace Contract = Brodix::SendToMachineContract;
constexpr int kUsageError = 2;

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: qel-machine-link [--outbox DIR] [--count N]\n"
                 "Receive the designs that qel-send-service posts on the session bus and write\n"
                 "each into the machine's outbox as a VP3 file.\n"
                 "\n"
                 "  --outbox DIR  where designs are written (default\n"
                 "                $XDG_DATA_HOME/com.brodix.MachineLink/outbox, which is\n"
                 "                ~/.local/share/... when XDG_DATA_HOME is unset); of DIR\n"
                 "                only the last folder is created, when its parent exists\n"
                 "  --count N     exit after N notifications have been handled\n"
                 "  --help        show this help and exit\n"
                 "  --version     show the version and exit\n"
                 "\n"
                 "For each design it emits Delivered(filename, path) or Refused(filename,\n"
                 "reason) from /com/brodix/MachineLink, interface com.brodix.MachineLink.\n");
}

int UsageError(char const* what, char const* value)
{
    if (value != nullptr)
        std::fprintf(stderr, "qel-machine-link: %s: \"%s\"\n", what, value);
    else
        std::fprintf(stderr, "qel-machine-link: %s\n", what);
    std::fprintf(stderr, "Try 'qel-machine-link --help'.\n");
    return kUsageError;
}

bool ParseCount(char const* text, unsigned long* count)
{
    char* end = nullptr;
    errno = 0;
    unsigned long const value = std::strtoul(text, &end, 10);
    if (text[0] == '\0' || text[0] == '-' || *end != '\0' || errno != 0 || value == 0)
        return false;
    *count = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string outboxFolder = Brodix::MachineLink::DefaultOutboxFolder();
    bool defaultOutbox = true;
    unsigned long count = 0;   // 0: until stopped
    for (int i = 1; i < argc; ++i) {
        std::string const option = argv[i];
        char const* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--help" || option == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("qel-machine-link %s\n", QEL_VERSION);
            return 0;
        }
        if (option == "--outbox") {
            if (value == nullptr || value[0] == '\0')
                return UsageError("--outbox needs a folder", nullptr);
            outboxFolder = value;
            defaultOutbox = false;
            ++i;
        } else if (option == "--count") {
            if (value == nullptr)
                return UsageError("--count needs a number", nullptr);
            if (!ParseCount(value, &count))
                return UsageError("--count takes a whole number above 0, not", value);
            ++i;
        } else {
            return UsageError("unknown option", argv[i]);
        }
    }

    std::string error;
    Brodix::MachineLink::Outbox const outbox(outboxFolder);
    unsigned long handled = 0;
    Brodix::Platform::NotificationListener* listener = nullptr;
    std::unique_ptr<Brodix::Platform::BusSignalEmitter> outcomes;
    auto const handle = [&](std::optional<Brodix::Platform::PropertyDictionary> const& userInfo) {
        Brodix::MachineLink::Delivery const delivery = outbox.Deliver(userInfo);
        std::printf("qel-machine-link: %s\n", delivery.logLine.c_str());
        std::fflush(stdout);
        std::string filename;
        if (userInfo)
            if (auto const found = userInfo->find(Contract::kFilenameKey);
                found != userInfo->end() && found->second.String() != nullptr)
                filename = *found->second.String();
        if (outcomes)
            (void)outcomes->Emit(Contract::kMachineLinkInterface,
                                 delivery.written ? Contract::kDeliveredSignal : Contract::kRefusedSignal, filename,
                                 delivery.written ? delivery.path : delivery.reason);
        if (count != 0 && ++handled >= count)
            listener->Stop();
    };
    auto owned = Brodix::Platform::NotificationListener::Create(Contract::kNotificationName, handle, &error);
    if (!owned) {
        std::fprintf(stderr, "qel-machine-link: no session bus: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    listener = owned.get();
    // The name first: a second receiver must leave the outbox alone.
    if (!listener->ClaimBusName(Contract::kMachineLinkBusName, &error)) {
        std::fprintf(stderr, "qel-machine-link: %s is taken, another receiver serves this session (%s)\n",
                     Contract::kMachineLinkBusName, error.c_str());
        return EXIT_FAILURE;
    }
    // The default lives in the user's own data folder, which may be new; a
    // folder the user named may be on a stick, so only its last part is made.
    if (defaultOutbox)
        Brodix::Platform::CreateDirectories(outbox.Folder());
    Brodix::Platform::CreateFolderIfParentExists(outbox.Folder());
    if (auto const problem = Brodix::MachineLink::OutboxProblem(outbox.Folder())) {
        std::fprintf(stderr, "qel-machine-link: cannot use the outbox \"%s\": %s\n", outbox.Folder().c_str(),
                     problem->c_str());
        return EXIT_FAILURE;
    }
    outcomes = Brodix::Platform::BusSignalEmitter::Create(Contract::kMachineLinkObjectPath, &error);
    if (!outcomes) {
        std::fprintf(stderr, "qel-machine-link: no session bus: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    std::printf("qel-machine-link: listening on the session bus, outbox \"%s\"\n", outbox.Folder().c_str());
    std::fflush(stdout);
    listener->Run();
    return EXIT_SUCCESS;
}
