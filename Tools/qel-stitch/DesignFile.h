// Reading one stitch file into a design, with the format chosen from the
// file's extension or from --format, and failures put into one clear line.
#pragma once
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/Design.h"
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace QelStitch {

struct DesignFile {
    std::string path;
    std::string formatName;   // as shown to people: "DST", "10o", ...
    std::shared_ptr<IDesign> design;
    // What the file says beyond the design, as label and value (PES: version and hoop).
    std::vector<std::pair<std::string, std::string>> details;
};

// The extension given with --format wins over the file's own; case is ignored.
std::optional<Brodix::DesignFiles::FileFormat> ChooseFormat(std::string const& path,
                                                            std::string const& formatOverride);

// "-" as a file name: the design is read from standard input (its format
// named with --format, since there is no extension to tell it).
inline constexpr char kStandardInput[] = "-";

// Loads path into out. On failure returns false with error set to a line
// naming the file, the format and what went wrong.
bool LoadDesignFile(std::string const& path, std::string const& formatOverride, DesignFile& out, std::string& error);

} // namespace QelStitch
