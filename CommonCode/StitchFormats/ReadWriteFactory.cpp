// Which formats have an object-style reader and writer; one case each.
#include "StitchFormats/BaseReadWrite.h"

namespace Brodix::StitchFormats {

std::unique_ptr<CBaseReadWrite> CReadWriteFactory::CreateRWObject(Format format,
                                                                  [[maybe_unused]] CBaseReadWrite::DesignList const* designs)
{
    switch (format) {
    default:
        return nullptr;
    }
}

std::unique_ptr<CBaseReadWrite> CReadWriteFactory::CreateRWObject(Format format, [[maybe_unused]] IDesign const& design)
{
    switch (format) {
    default:
        return nullptr;
    }
}

} // namespace Brodix::StitchFormats
