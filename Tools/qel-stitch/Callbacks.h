// The text and zlib callbacks that the format engine asks its caller for.
#pragma once
#include "StitchFormats/StitchFormats.h"

namespace QelStitch {

// Windows-1252, with "?" for characters it cannot hold.
class Win1252Encoding : public Brodix::StitchFormats::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override;
    std::wstring ConvertToWChars(std::string text) override;
};

class ZLibInflater : public Brodix::StitchFormats::IZLib {
public:
    bool Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen) override;
};

} // namespace QelStitch
