// Which Format a file is: by the vendor's type identifier (prefix + "." +
// suffix) or by its file extension. One table for every program that opens
// stitch files, so the send service and the tools agree.
#pragma once
#include "StitchFormats/FormatVocabulary.h"
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Brodix::StitchFormats {

struct FormatTypeEntry {
    char const* typeSuffix;   // after the vendor prefix and a dot
    char const* extension;    // lower case, without the dot
    Format format;
};

// The 14 pairs in their fixed order (VIP first, DHV last). VP3 has a type
// identifier of its own and is not read through Load, so it is not here.
std::span<FormatTypeEntry const> FormatTypeTable();

// The full type identifier of an entry, such as "com.brodix.dst".
std::string TypeIdentifier(FormatTypeEntry const& entry);

// Exact, case-sensitive match of a full type identifier or a lower-case
// extension, as the send service looks types up.
std::optional<Format> FormatFromType(std::string_view type);

// Case-insensitive extension lookup (with or without the dot), for tools.
std::optional<Format> FormatFromExtension(std::string_view extension);

// Short display name ("DST", "10o", ...); "?" for a value outside the enumeration.
char const* FormatName(int format);

} // namespace Brodix::StitchFormats
