// Feeds arbitrary bytes to the two Brother readers, PES and PEC, which share
// the card-data decoder. The first byte picks the reader by its Format value
// (odd: PEC, even: PES), as in the seeds that run-fuzz.sh prefixes.
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/StitchFormats.h"
#include "Win1252Encoding.h"
#include <cstddef>
#include <cstdint>

namespace SF = Brodix::StitchFormats;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size < 1)
        return 0;
    SF::Format const format = (data[0] & 1) != 0 ? SF::FormatPEC : SF::FormatPES;
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(data + 1, size - 1);
    QelFuzz::Win1252Encoding encoding;
    Brodix::CSimpleDesign design;
    SF::Load(design, stream, 0, format, &encoding, nullptr, nullptr, nullptr);
    return 0;
}
