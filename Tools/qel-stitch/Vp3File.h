// VP3 files in qel-stitch: named by their extension (or --format vp3), read
// the way the send service reads them (every design of the file merged into
// one), and written from any loaded design as the service writes them.
#pragma once
#include "DesignFile.h"
#include <string>
#include <vector>

namespace QelStitch {

bool IsVp3Name(std::string const& path, std::string const& formatOverride);

// Reads the bytes of a VP3 file into out.design; false with error set to
// one line (without the file name) when the file cannot be used.
bool LoadVp3Design(std::vector<unsigned char> const& bytes, DesignFile& out, std::string& error);

// Encodes the design as VP3 into path; false with error set to one line.
bool SaveVp3Design(IDesign const& design, std::string const& path, std::string& error);

} // namespace QelStitch
