#include "Databases/NearestColour.h"
#include <algorithm>
#include <cmath>

namespace {

// Luminance weights of the three channels.
constexpr double kRedWeight = 0.349;
constexpr double kGreenWeight = 0.537;
constexpr double kBlueWeight = 0.114;
constexpr double kLuminanceShare = 0.5;
// The distance of black from white before scaling, so that the greatest distance is 1.
constexpr double kGreatestDistance = 569.173;

constexpr uint32_t kComparedColours = 4;
constexpr uint32_t kWorstByte = 255;
constexpr uint32_t kWorstScore = 0xFFFFFFFF;
constexpr double kPlainStart = 2.0;   // beyond any distance

double Channel(uint32_t colour, int shift) { return static_cast<double>((colour >> shift) & 0xFF); }

bool IsVariegated(Brodix::ColourData const& c) { return c.numberColours >= 2; }

} // namespace

double CdbCompareColours(uint32_t colour1, uint32_t colour2)
{
    double const r1 = Channel(colour1, 0), g1 = Channel(colour1, 8), b1 = Channel(colour1, 16);
    double const r2 = Channel(colour2, 0), g2 = Channel(colour2, 8), b2 = Channel(colour2, 16);
    double const y1 = kRedWeight * r1 + kGreenWeight * g1 + kBlueWeight * b1;
    double const y2 = kRedWeight * r2 + kGreenWeight * g2 + kBlueWeight * b2;
    double const dr = r2 - r1, dg = g2 - g1, db = b2 - b1;
    return (std::fabs(y2 - y1) * kLuminanceShare + std::sqrt(dr * dr + dg * dg + db * db)) / kGreatestDistance;
}

uint32_t CompareVariegatedColours(uint32_t const* colours1, uint32_t count1, uint32_t const* colours2,
                                  uint32_t count2)
{
    uint32_t const compared = std::min({count1, count2, kComparedColours});
    uint32_t score = 0;
    for (uint32_t k = 0; k < kComparedColours; ++k) {
        uint32_t byte = kWorstByte;
        if (k < compared) {
            double const scaled = CdbCompareColours(colours1[k], colours2[k]) * 255.0 + 0.5;
            byte = std::min(kWorstByte, static_cast<uint32_t>(scaled));
        }
        score = score << 8 | byte;
    }
    return score;
}

int CdbGetNearestColour(Brodix::ColourData const* target, Brodix::ColourData const* table, int count)
{
    if (target == nullptr || table == nullptr || count <= 0)
        return -1;
    bool const targetVariegated = IsVariegated(*target);
    bool const tableHasVariegated =
        std::any_of(table, table + count, [](Brodix::ColourData const& c) { return IsVariegated(c); });
    bool const tableHasPlain =
        std::any_of(table, table + count, [](Brodix::ColourData const& c) { return c.numberColours == 1; });
    bool const variegatedSearch = targetVariegated ? tableHasVariegated : !tableHasPlain;

    int result = -1;
    if (!variegatedSearch) {
        double best = kPlainStart;
        for (int i = 0; i < count; ++i) {
            if (!targetVariegated && table[i].numberColours > 1)
                continue;
            double const distance = CdbCompareColours(target->colours[0], table[i].colours[0]);
            if (distance < best) {
                best = distance;
                result = i;
            }
        }
    } else {
        uint32_t best = kWorstScore;
        for (int i = 0; i < count; ++i) {
            if (!IsVariegated(table[i]))
                continue;
            uint32_t const score =
                CompareVariegatedColours(table[i].colours, table[i].numberColours, target->colours,
                                         target->numberColours);
            if (score < best) {
                best = score;
                result = i;
            }
        }
    }
    return result;
}
