// The format type table and its lookups.
#include "StitchFormats/FormatTypeTable.h"
#include "Fundamentals/Vendor.h"
#include <algorithm>
#include <cctype>

namespace Brodix::StitchFormats {

namespace {

// The Toyota format's identifier ends in "toy" while its extension is "10o".
constexpr FormatTypeEntry kTable[] = {
    {"vip", "vip", FormatVIP}, {"toy", "10o", Format10o}, {"art", "art", FormatART}, {"dst", "dst", FormatDST},
    {"exp", "exp", FormatEXP}, {"tvk", "tvk", FormatTVK}, {"jef", "jef", FormatJEF}, {"pcs", "pcs", FormatPCS},
    {"pec", "pec", FormatPEC}, {"pes", "pes", FormatPES}, {"sew", "sew", FormatSEW}, {"xxx", "xxx", FormatXXX},
    {"shv", "shv", FormatSHV}, {"dhv", "dhv", FormatDHV},
};
static_assert(std::size(kTable) == 14);

constexpr char const* kNames[kFormatCount] = {"VIP", "TVK", "DST", "10o", "PCS", "EXP", "PES",
                                              "PEC", "SEW", "JEF", "XXX", "SHV", "DHV", "ART"};

bool IsTypeIdentifier(std::string_view type, FormatTypeEntry const& entry)
{
    std::string_view const prefix = kVendorPrefix;
    return type.size() > prefix.size() && type.substr(0, prefix.size()) == prefix && type[prefix.size()] == '.'
           && type.substr(prefix.size() + 1) == entry.typeSuffix;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<FormatTypeEntry const> FormatTypeTable()
{
    return kTable;
}

std::string TypeIdentifier(FormatTypeEntry const& entry)
{
    return std::string(kVendorPrefix) + "." + entry.typeSuffix;
}

std::optional<Format> FormatFromType(std::string_view type)
{
    for (FormatTypeEntry const& entry : kTable)
        if (IsTypeIdentifier(type, entry) || type == entry.extension)
            return entry.format;
    return std::nullopt;
}

std::optional<Format> FormatFromExtension(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    for (FormatTypeEntry const& entry : kTable)
        if (EqualIgnoringCase(extension, entry.extension))
            return entry.format;
    return std::nullopt;
}

char const* FormatName(int format)
{
    return format >= 0 && format < kFormatCount ? kNames[format] : "?";
}

} // namespace Brodix::StitchFormats
