// Which formats have an object-style reader and writer; one case each.
#include "StitchFormats/BaseReadWrite.h"
#include "StitchFormats/Pes.h"

namespace Brodix::StitchFormats {

std::unique_ptr<CBaseReadWrite> CReadWriteFactory::CreateRWObject(Format format,
                                                                  [[maybe_unused]] CBaseReadWrite::DesignList const* designs)
{
    switch (format) {
    case FormatPES: return designs ? std::make_unique<CPESReadWrite>(*designs) : std::make_unique<CPESReadWrite>();
    default:
        return nullptr;
    }
}

std::unique_ptr<CBaseReadWrite> CReadWriteFactory::CreateRWObject(Format format, [[maybe_unused]] IDesign const& design)
{
    switch (format) {
    case FormatPES: return std::make_unique<CPESReadWrite>(design);
    default:
        return nullptr;
    }
}

} // namespace Brodix::StitchFormats
