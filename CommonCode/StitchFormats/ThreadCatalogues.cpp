// Manufacturer text and thread record codes of each built-in catalogue; the
// entries themselves are generated from the thread charts.
#include "StitchFormats/ThreadCatalogues.h"

namespace Brodix::StitchFormats {

namespace {
constexpr uint32_t kRayon = 8;
constexpr uint32_t kPolyester = 7;
constexpr uint32_t kWeight40 = 5;
} // namespace

ThreadCatalogueDetails const details[NumColourBases] = {
    {"Madeira Rayon 40", kRayon, kWeight40},
    {"Sulky Rayon 40", kRayon, kWeight40},
    {"Isafil Rayon 40", kRayon, kWeight40},
    {"Robison-Anton Rayon 40", kRayon, kWeight40},
    {"Robison-Anton Poly 40", kPolyester, kWeight40},
    {"Sulky Poly Stickma 40", kPolyester, kWeight40},
    {"Madeira Poly Neon 40", kPolyester, kWeight40},
    {"Icord Poly 40", kPolyester, kWeight40},
    {"Coats-Alcazar Rayon 40", kRayon, kWeight40},
};

} // namespace Brodix::StitchFormats
