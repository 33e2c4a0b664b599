// Files qel-stitch writes: never half written, and never replacing a file
// the user did not ask to replace.
#pragma once
#include <string>
#include <string_view>

namespace QelStitch {

// Whether path names something that exists (a dangling link counts).
bool OutputExists(std::string const& path);

// Writes bytes to a temporary file in path's folder and then puts it at
// path. Without replace an existing path is left alone and it fails. On
// failure error is one line and no temporary file is left behind.
bool WriteOutputFile(std::string const& path, std::string_view bytes, bool replace, std::string& error);

} // namespace QelStitch
