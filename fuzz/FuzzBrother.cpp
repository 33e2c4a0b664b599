// Feeds arbitrary bytes to the two Brother readers, PES and PEC, which share
// the card-data decoder. The first byte picks the reader by its Format value
// (odd: PEC, even: PES), as in the seeds that run-fuzz.sh prefixes.
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/StitchFormats.h"
#include <cstddef>
#include <cstdint>

namespace {

namespace SF = Brodix::StitchFormats;

class Encoding : public SF::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override { return Brodix::UnicodeToWin1252(text.c_str(), '?'); }
    std::wstring ConvertToWChars(std::string text) override { return Brodix::Win1252ToUnicode(text.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size < 1)
        return 0;
    SF::Format const format = (data[0] & 1) != 0 ? SF::FormatPEC : SF::FormatPES;
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(data + 1, size - 1);
    Encoding encoding;
    Brodix::CSimpleDesign design;
    SF::Load(design, stream, 0, format, &encoding, nullptr, nullptr, nullptr);
    return 0;
}
