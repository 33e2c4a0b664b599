// VP3 files in qel-stitch: named by their extension (or --format vp3), and
// written from any loaded design as the send service writes them. They are
// read like every other file (DesignFile.h).
#pragma once
#include "DesignFile.h"
#include <string>

namespace QelStitch {

bool IsVp3Name(std::string const& path, std::string const& formatOverride);

// Encodes the design as VP3 into path; false with error set to one line.
bool SaveVp3Design(IDesign const& design, std::string const& path, std::string& error);

} // namespace QelStitch
