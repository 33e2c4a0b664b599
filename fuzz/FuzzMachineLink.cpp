// The receiver's handling of a notification from anyone on the bus: the file
// name (as a name and as a URL) and the payload. Input: one byte n, n bytes of
// file name, then the payload. The outbox lies where nothing can be created,
// so every path is taken except the write itself.
#include "MachineLink/Outbox.h"
#include "Platform/Pasteboard.h"
#include "Platform/URL.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    using namespace Brodix;
    if (size == 0)
        return 0;
    std::size_t const nameLength = std::min<std::size_t>(data[0], size - 1);
    std::string const name(reinterpret_cast<char const*>(data + 1), nameLength);
    Platform::PropertyData const payload(data + 1 + nameLength, data + size);

    if (!MachineLink::FileNameProblem(name) && MachineLink::OutboxFileName(name, 2).find('/') != std::string::npos)
        std::abort();
    if (auto const url = Platform::URL::URLWithString(name)) {
        (void)url->lastPathComponent();
        (void)url->pathExtension();
    }
    (void)Platform::Pasteboard::FromArguments({name});

    static MachineLink::Outbox const outbox("/proc/qel-fuzz-outbox");
    namespace Contract = SendToMachineContract;
    Platform::PropertyDictionary const userInfo = {{Contract::kFilenameKey, name},
                                                   {Contract::kDataToSendKey, payload},
                                                   {Contract::kFileTypeKey, Contract::kNormalSend}};
    if (outbox.Deliver(userInfo).written)
        std::abort();
    return 0;
}
