// The text callback the fuzz targets hand to the format engine: Windows-1252
// both ways, "?" for what it cannot hold.
#pragma once
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/StitchFormats.h"

namespace QelFuzz {

class Win1252Encoding : public Brodix::StitchFormats::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override { return Brodix::UnicodeToWin1252(text.c_str(), '?'); }
    std::wstring ConvertToWChars(std::string text) override { return Brodix::Win1252ToUnicode(text.c_str()); }
};

} // namespace QelFuzz
