#include "SharedCode/QELDesignFile.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include "SharedCode/ImportStitchFormats.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"

namespace Brodix::SendService {
namespace {

namespace Contract = SendToMachineContract;

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
    Platform::PropertyData bytes;
    m_sendProblem.clear();
    unsigned int const status =
        writer.WriteToBytes(Vp3Lib::CDesignHolder(m_design.get()), bytes, CommonTypes::PointI{0, 0}, true);
    if (status == Vp3Lib::kStatusConversionFailed)
        m_sendProblem = kTooLargeProblem;
    if (status != Vp3Lib::kStatusOK)
        return false;
    // Emplaced: an initialiser list would copy the image.
    Platform::PropertyDictionary userInfo;
    userInfo.emplace(Contract::kDataToSendKey, std::move(bytes));
    userInfo.emplace(Contract::kFilenameKey, m_url ? m_url->lastPathComponent() : std::string());
    userInfo.emplace(Contract::kFileTypeKey, express ? Contract::kExpressSend : Contract::kNormalSend);
    return Platform::DistributedNotificationCenter::defaultCenter().postNotification(Contract::kNotificationName,
                                                                                     userInfo, true);
}

} // namespace Brodix::SendService
