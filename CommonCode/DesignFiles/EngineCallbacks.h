// The callbacks the format engine asks its caller for, made once for every
// program: Windows-1252 text and zlib's one-shot uncompress.
#pragma once
#include "StitchFormats/FormatVocabulary.h"
#include <cstddef>
#include <string>

namespace Brodix::DesignFiles {

// Windows-1252 both ways; "?" for characters it cannot hold.
class Win1252Encoding : public StitchFormats::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override;
    std::wstring ConvertToWChars(std::string text) override;
};

// zlib's uncompress; true exactly when it returns Z_OK.
class ZLibAdapter : public StitchFormats::IZLib {
public:
    bool Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen) override;
};

} // namespace Brodix::DesignFiles
