// Feeds arbitrary bytes to every stitch-format reader through the one load
// entry. The first byte picks the Format, so this target reaches each reader
// there is, including those added later.
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/StitchFormats.h"
#include "Win1252Encoding.h"
#include <cstddef>
#include <cstdint>
#include <zlib.h>

namespace {

namespace SF = Brodix::StitchFormats;

class ZLib : public SF::IZLib {
public:
    bool Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen) override
    {
        uLongf produced = destLen;
        int const result = uncompress(reinterpret_cast<Bytef*>(dest), &produced, reinterpret_cast<Bytef const*>(src),
                                      srcLen);
        destLen = produced;
        return result == Z_OK;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size < 1)
        return 0;
    auto const format = static_cast<SF::Format>(data[0] % SF::kFormatCount);
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(data + 1, size - 1);
    QelFuzz::Win1252Encoding encoding;
    ZLib zlib;
    Brodix::CSimpleDesign design;
    SF::Load(design, stream, 0, format, &encoding, nullptr, &zlib, nullptr);
    return 0;
}
