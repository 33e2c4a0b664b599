#include "SharedCode/QELDesignFile.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include "SharedCode/ImportStitchFormats.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include <cstdlib>

namespace Brodix::SendService {
namespace {

namespace Contract = SendToMachineContract;

struct MallocFree {
    void operator()(void* buffer) const { std::free(buffer); }
};

} // namespace

std::string const& VP3TypeIdentifier()
{
    static std::string const identifier = DesignFiles::TypeIdentifier(DesignFiles::FileFormat::VP3);
    return identifier;
}

QELDesignFile::QELDesignFile(Platform::URL const& url)
{
    auto const type = url.typeIdentifier();
    if (!type) {
        setIsValid(false);
        m_loadProblem = kNoTypeProblem;
        return;
    }
    m_url = url;
    auto const data = Platform::ReadFileContents(url.path(), kMaxDesignFileBytes);
    setIsValid(loadData(data ? &*data : nullptr, &*type));
    if (!isValid())
        m_loadProblem = data ? kNotReadableDesignProblem : kCannotReadProblem;
}

QELDesignFile::QELDesignFile(std::vector<unsigned char> const* data, std::string const* type)
{
    setIsValid(loadData(data, type));
    if (!isValid())
        m_loadProblem = kNotReadableDesignProblem;
}

bool QELDesignFile::hasStitchesToSew() const
{
    if (!m_design)
        return false;
    std::unique_ptr<IIterator<CAbsStitch const>, void (*)(IIterator<CAbsStitch const>*)> reader(
        static_cast<IDesign const&>(*m_design).GetStitchReader(), &IIterator<CAbsStitch const>::Releaser);
    if (!reader)
        return false;
    for (reader->First(); !reader->IsDone(); reader->Next())
        if (reader->GetCurrentItem().type == CAbsStitch::Normal)
            return true;
    return false;
}

bool QELDesignFile::loadData(std::vector<unsigned char> const* data, std::string const* type)
{
    if (data == nullptr || type == nullptr)
        return false;
    if (*type == VP3TypeIdentifier()) {
        DesignFiles::LoadResult loaded = DesignFiles::LoadDesign(*data, DesignFiles::FileFormat::VP3);
        if (!loaded.Loaded())
            return false;
        m_design = std::move(loaded.design);
        return true;
    }
    CSimpleDesign design;
    ImportStitchFormats importer;
    if (!importer.loadStitchFormats(*data, *type, &design))
        return false;
    m_design = std::make_shared<CSimpleDesign>(std::move(design));
    return true;
}

bool QELDesignFile::sendToMachine(bool express)
{
    Vp3Lib::CVP3ReadWrite writer;
    void* buffer = nullptr;
    unsigned long size = 0;
    unsigned int const result =
        writer.WriteToMemory(Vp3Lib::CDesignHolder(m_design.get()), buffer, size, CommonTypes::PointI{0, 0}, true);
    std::unique_ptr<void, MallocFree> const owned(buffer);
    if (result != 0 || buffer == nullptr)
        return false;
    auto const* bytes = static_cast<unsigned char const*>(buffer);
    Platform::PropertyDictionary const userInfo = {
        {Contract::kDataToSendKey, Platform::PropertyData(bytes, bytes + size)},
        {Contract::kFilenameKey, m_url ? m_url->lastPathComponent() : std::string()},
        {Contract::kFileTypeKey, express ? Contract::kExpressSend : Contract::kNormalSend},
    };
    return Platform::DistributedNotificationCenter::defaultCenter().postNotification(Contract::kNotificationName,
                                                                                     userInfo, true);
}

} // namespace Brodix::SendService
