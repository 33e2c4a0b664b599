#include "SharedCode/ImportStitchFormats.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatTypeTable.h"

namespace Brodix::SendService {

bool ImportStitchFormats::loadStitchFormats(std::vector<unsigned char> const& data, std::string const& type,
                                            IDesign* design)
{
    auto const format = StitchFormats::FormatFromType(type);
    if (!format)
        return false;
    return loadFormats(data, *format, design);
}

bool ImportStitchFormats::loadFormats(std::vector<unsigned char> const& data, StitchFormats::Format format,
                                      IDesign* design)
{
    auto const fileFormat = DesignFiles::FileFormatOf(format);
    if (design == nullptr || !fileFormat)
        return false;
    DesignFiles::LoadResult const loaded = DesignFiles::LoadDesign(data, *fileFormat);
    if (!loaded.Loaded())
        return false;
    CSimpleDesign::MergeDesign(*design, *loaded.design, true, false);
    return true;
}

} // namespace Brodix::SendService
