// Loading a machine stitch file (every format but VP3) into a design: the
// type identifier or extension picks the Format through the engine's format
// type table, and the front door to design files does the load.
#pragma once
#include "DesignFiles/EngineCallbacks.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/FormatVocabulary.h"
#include <string>
#include <vector>

namespace Brodix::SendService {

// The engine's callbacks under the service's names: Windows-1252 both ways
// with "?" for what it cannot hold, and zlib's one-shot uncompress.
using CustomCharEncoding = DesignFiles::Win1252Encoding;
using CustomZLib = DesignFiles::ZLibAdapter;

class ImportStitchFormats {
public:
    // Looks the type up (exact: a full type identifier or a lower-case
    // extension) and loads; false for an unknown type, design untouched.
    bool loadStitchFormats(std::vector<unsigned char> const& data, std::string const& type, IDesign* design);
    // True when the design loaded; it is then appended to design.
    bool loadFormats(std::vector<unsigned char> const& data, StitchFormats::Format format, IDesign* design);
};

} // namespace Brodix::SendService
