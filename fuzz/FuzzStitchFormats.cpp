// Feeds arbitrary bytes to every stitch-format reader through the front door
// every program loads through. The first byte picks the machine format, so
// this target reaches each reader there is, including those added later.
#include "FuzzInput.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace DF = Brodix::DesignFiles;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size < 1)
        return 0;
    DF::LoadResult const result = LoadFuzzInput(data, size);
    if (result.Loaded() != (result.status == Brodix::StitchFormats::kStatusOK))
        std::abort();
    return 0;
}
