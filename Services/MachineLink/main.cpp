// qel-machine-link: the receiver of the send service's designs. It listens on
// the session bus for "QelSendToMachineNotification" and writes each design
// into the machine's outbox folder, logging one line per notification.
#include "Fundamentals/Vendor.h"
#include "MachineLink/Outbox.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kUsageError = 2;

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: qel-machine-link [--outbox DIR] [--count N]\n"
                 "  --outbox DIR  where designs are written (default %s)\n"
                 "  --count N     exit after N notifications have been handled\n",
                 Brodix::MachineLink::DefaultOutboxFolder().c_str());
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
    unsigned long count = 0;   // 0: until stopped
    for (int i = 1; i < argc; ++i) {
        std::string const option = argv[i];
        if (option == "--help" || option == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (option == "--outbox" && i + 1 < argc && argv[i + 1][0] != '\0') {
            outboxFolder = argv[++i];
        } else if (option == "--count" && i + 1 < argc && ParseCount(argv[i + 1], &count)) {
            ++i;
        } else {
            PrintUsage(stderr);
            return kUsageError;
        }
    }

    Brodix::MachineLink::Outbox const outbox(outboxFolder);
    if (!Brodix::Platform::CreateDirectories(outbox.Folder())) {
        std::fprintf(stderr, "qel-machine-link: cannot create the outbox %s\n", outbox.Folder().c_str());
        return EXIT_FAILURE;
    }

    unsigned long handled = 0;
    Brodix::Platform::NotificationListener* listener = nullptr;
    auto const handle = [&](std::optional<Brodix::Platform::PropertyDictionary> const& userInfo) {
        Brodix::MachineLink::Delivery const delivery = outbox.Deliver(userInfo);
        std::printf("qel-machine-link: %s\n", delivery.logLine.c_str());
        std::fflush(stdout);
        if (count != 0 && ++handled >= count)
            listener->Stop();
    };
    std::string error;
    auto owned = Brodix::Platform::NotificationListener::Create(Brodix::SendToMachineContract::kNotificationName,
                                                                handle, &error);
    if (!owned) {
        std::fprintf(stderr, "qel-machine-link: no session bus: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    listener = owned.get();
    std::string const busName = std::string(Brodix::kVendorPrefix) + ".MachineLink";
    if (!listener->ClaimBusName(busName, &error)) {
        std::fprintf(stderr, "qel-machine-link: %s is taken, another receiver serves this session (%s)\n",
                     busName.c_str(), error.c_str());
        return EXIT_FAILURE;
    }
    std::printf("qel-machine-link: listening on the session bus, outbox \"%s\"\n", outbox.Folder().c_str());
    std::fflush(stdout);
    listener->Run();
    return EXIT_SUCCESS;
}
