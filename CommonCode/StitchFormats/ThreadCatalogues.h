// The nine built-in thread catalogues from which a loaded design's colours get
// their thread codes and names. The entry tables are generated at build time
// from the thread chart files; the per-catalogue details are written here.
#pragma once
#include <cstdint>

namespace Brodix::StitchFormats {

struct ThreadCatalogueEntry {
    char const* code;   // null in the entry that ends a catalogue
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    char const* name;
};

struct ThreadCatalogueDetails {
    char const* manufacturer;
    uint32_t materialType;
    uint32_t threadWeight;
};

// Indexed by colour type. Row order matters: searches take the first best entry.
inline constexpr int NumColourBases = 9;
// The colour type that stands in for one outside 0..8.
inline constexpr int FallbackColourBase = 1;

extern ThreadCatalogueEntry const* const ColourBases[NumColourBases];
extern int const ColourBaseSizes[NumColourBases];   // entries before the ending one
extern ThreadCatalogueDetails const details[NumColourBases];

// The catalogue index for a colour type; types outside 0..8 select the fallback.
inline int ColourBaseIndex(int colourType)
{
    return static_cast<unsigned>(colourType) < static_cast<unsigned>(NumColourBases) ? colourType
                                                                                     : FallbackColourBase;
}

} // namespace Brodix::StitchFormats
