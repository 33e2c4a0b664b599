// Loading a machine stitch file (every format but VP3) into a design: the
// type identifier or extension picks the Format through the engine's format
// type table, and the engine gets the text and zlib adapters it asks for.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/StitchFormats.h"
#include <string>
#include <vector>

namespace Brodix::SendService {

// Windows-1252 both ways; "?" for what Windows-1252 cannot hold.
class CustomCharEncoding : public StitchFormats::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override;
    std::wstring ConvertToWChars(std::string text) override;
};

// zlib's one-shot uncompress; true exactly when it returns Z_OK.
class CustomZLib : public StitchFormats::IZLib {
public:
    bool Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen) override;
};

class ImportStitchFormats {
public:
    // Looks the type up (exact: a full type identifier or a lower-case
    // extension) and loads; false for an unknown type, design untouched.
    bool loadStitchFormats(std::vector<unsigned char> const& data, std::string const& type, IDesign* design);
    // True when the format engine returns 0.
    bool loadFormats(std::vector<unsigned char> const& data, StitchFormats::Format format, IDesign* design);
};

} // namespace Brodix::SendService
