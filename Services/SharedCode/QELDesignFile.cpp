#include "SharedCode/QELDesignFile.h"
#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/Vendor.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "SharedCode/ImportStitchFormats.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "StitchFormats/Vp3/VP3Status.h"
#include <cstdlib>

namespace Brodix::SendService {
namespace {

// Read results that still deliver designs: skipped blocks of an unexpected
// class or an unreadable version.
bool AcceptedReadResult(unsigned int result)
{
    return result == Vp3Lib::kStatusOK || result == Vp3Lib::kStatusUnexpectedClass ||
           result == Vp3Lib::kStatusUnreadable;
}

struct MallocFree {
    void operator()(void* buffer) const { std::free(buffer); }
};

} // namespace

std::string const& VP3TypeIdentifier()
{
    static std::string const identifier = std::string(kVendorPrefix) + ".vp3";
    return identifier;
}

QELDesignFile::QELDesignFile(Platform::URL const& url)
{
    auto const type = url.typeIdentifier();
    if (!type) {
        setIsValid(false);
        return;
    }
    m_url = url;
    auto const data = Platform::ReadFileContents(url.path(), kMaxDesignFileBytes);
    setIsValid(loadData(data ? &*data : nullptr, &*type));
}

QELDesignFile::QELDesignFile(std::vector<unsigned char> const* data, std::string const* type)
{
    setIsValid(loadData(data, type));
}

bool QELDesignFile::loadData(std::vector<unsigned char> const* data, std::string const* type)
{
    CSimpleDesign design;
    if (data == nullptr || type == nullptr)
        return false;
    if (*type != VP3TypeIdentifier()) {
        ImportStitchFormats importer;
        if (!importer.loadStitchFormats(*data, *type, &design))
            return false;
    } else {
        Vp3Lib::CVP3ReadWrite reader;
        std::vector<std::shared_ptr<IDesign>> designs;
        unsigned int const result = reader.ReadFromMemory(Vp3Lib::CDesignHolder(&designs), data->data(),
                                                          data->size(), CommonTypes::PointI{0, 0}, true);
        if (!AcceptedReadResult(result))
            return false;
        CSimpleDesign::MergeDesigns(design, designs, true, false);
    }
    m_design.reset(design.Clone());
    return true;
}

void QELDesignFile::sendToMachine(bool express)
{
    Vp3Lib::CVP3ReadWrite writer;
    void* buffer = nullptr;
    unsigned long size = 0;
    unsigned int const result =
        writer.WriteToMemory(Vp3Lib::CDesignHolder(m_design.get()), buffer, size, CommonTypes::PointI{0, 0}, true);
    std::unique_ptr<void, MallocFree> const owned(buffer);
    if (result != 0 || buffer == nullptr)
        return;
    auto const* bytes = static_cast<unsigned char const*>(buffer);
    Platform::PropertyDictionary const userInfo = {
        {kDataToSendKey, Platform::PropertyData(bytes, bytes + size)},
        {kFilenameKey, m_url ? m_url->lastPathComponent() : std::string()},
        {kFileTypeKey, express ? kExpressSend : kNormalSend},
    };
    Platform::DistributedNotificationCenter::defaultCenter().postNotification(kSendToMachineNotification, userInfo,
                                                                              true);
}

} // namespace Brodix::SendService
