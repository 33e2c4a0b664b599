// Feeds arbitrary bytes to the two Brother readers, PES and PEC, which share
// the card-data decoder, through the front door. The first byte picks the
// reader by its Format value (odd: PEC, even: PES), as in the seeds that
// run-fuzz.sh prefixes.
#include "DesignFiles/DesignFiles.h"
#include <cstddef>
#include <cstdint>

namespace DF = Brodix::DesignFiles;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size < 1)
        return 0;
    DF::FileFormat const format = (data[0] & 1) != 0 ? DF::FileFormat::PEC : DF::FileFormat::PES;
    static_cast<void>(DF::LoadDesign({data + 1, size - 1}, format));
    return 0;
}
