#include "Callbacks.h"
#include "Fundamentals/TextConversion.h"
#include <zlib.h>

namespace QelStitch {

namespace {
constexpr int kQuestionMark = '?';
}

std::string Win1252Encoding::ConvertToChars(std::wstring text)
{
    return Brodix::UnicodeToWin1252(text.c_str(), kQuestionMark);
}

std::wstring Win1252Encoding::ConvertToWChars(std::string text)
{
    return Brodix::Win1252ToUnicode(text.c_str());
}

bool ZLibInflater::Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen)
{
    uLongf produced = destLen;
    int const result = uncompress(reinterpret_cast<Bytef*>(dest), &produced, reinterpret_cast<Bytef const*>(src), srcLen);
    destLen = produced;
    return result == Z_OK;
}

} // namespace QelStitch
