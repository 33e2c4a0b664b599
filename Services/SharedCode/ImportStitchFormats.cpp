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
    DesignFiles::LoadResult loaded = DesignFiles::LoadDesign(data, *fileFormat);
    if (!loaded.Loaded())
        return false;
    // Merging into an empty design gives the loaded design itself, renumbered:
    // taken over, the million records of a large file are not copied.
    auto* const target = dynamic_cast<CSimpleDesign*>(design);
    if (target != nullptr && target->GetStitchCount() == 0 && target->GetColourCount() == 0
        && target->GetDesignNotes().empty()) {
        std::vector<std::shared_ptr<IDesign>> sources;
        sources.push_back(std::move(loaded.design));
        auto const merged = std::static_pointer_cast<CSimpleDesign>(CSimpleDesign::MergeIntoNew(std::move(sources), true, false));
        *target = std::move(*merged);
        return true;
    }
    CSimpleDesign::MergeDesign(*design, *loaded.design, true, false);
    return true;
}

} // namespace Brodix::SendService
