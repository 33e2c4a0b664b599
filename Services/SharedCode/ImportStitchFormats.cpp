#include "SharedCode/ImportStitchFormats.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/FormatTypeTable.h"
#include <zlib.h>

namespace Brodix::SendService {
namespace {
constexpr int kReplacementCharacter = '?';
constexpr int kDefaultColourType = 0;
} // namespace

std::string CustomCharEncoding::ConvertToChars(std::wstring text)
{
    return UnicodeToWin1252(text.c_str(), kReplacementCharacter);
}

std::wstring CustomCharEncoding::ConvertToWChars(std::string text) { return Win1252ToUnicode(text.c_str()); }

bool CustomZLib::Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen)
{
    uLongf produced = destLen;
    int const result =
        uncompress(reinterpret_cast<Bytef*>(dest), &produced, reinterpret_cast<Bytef const*>(src), srcLen);
    destLen = produced;
    return result == Z_OK;
}

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
    if (design == nullptr)
        return false;
    Archivers::MemoryStreamRW<IArchiverStream> stream(data);
    CustomCharEncoding encoding;
    CustomZLib zlib;
    // No TVK/VIP codec is built into this program yet: those files end with
    // the engine's missing-codec status.
    StitchFormats::ITvkVipCodec* const codec = nullptr;
    return StitchFormats::Load(*design, stream, kDefaultColourType, format, &encoding, codec, &zlib, nullptr) == 0;
}

} // namespace Brodix::SendService
