#include "DesignFiles/EngineCallbacks.h"
#include "Fundamentals/TextConversion.h"
#include <zlib.h>

namespace Brodix::DesignFiles {

namespace {
constexpr int kReplacementCharacter = '?';
}

std::string Win1252Encoding::ConvertToChars(std::wstring text)
{
    return UnicodeToWin1252(text.c_str(), kReplacementCharacter);
}

std::wstring Win1252Encoding::ConvertToWChars(std::string text)
{
    return Win1252ToUnicode(text.c_str());
}

bool ZLibAdapter::Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen)
{
    uLongf produced = destLen;
    int const result =
        uncompress(reinterpret_cast<Bytef*>(dest), &produced, reinterpret_cast<Bytef const*>(src), srcLen);
    destLen = produced;
    return result == Z_OK;
}

} // namespace Brodix::DesignFiles
