#include "Databases/NearestColour.h"
#include <gtest/gtest.h>
#include <vector>

using Brodix::ColourData;

namespace {

ColourData Thread(std::vector<uint32_t> const& colours)
{
    ColourData c = ColourData::Default();
    c.numberColours = static_cast<uint32_t>(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        c.colours[i] = colours[i];
    return c;
}

uint32_t Byte(double distance) { return static_cast<uint32_t>(distance * 255.0 + 0.5); }

} // namespace

TEST(NearestColour, DistanceRunsFromZeroToOne)
{
    EXPECT_NEAR(CdbCompareColours(0x000000, 0xFFFFFF), 1.0, 1e-6);
    EXPECT_NEAR(CdbCompareColours(0xFFFFFF, 0x000000), 1.0, 1e-6);
    EXPECT_EQ(CdbCompareColours(0x3366CC, 0x3366CC), 0.0);
    // Red lies in the lowest byte: pure red against black weighs the red luminance.
    EXPECT_NEAR(CdbCompareColours(0x0000FF, 0x000000), (0.349 * 255 * 0.5 + 255) / 569.173, 1e-9);
    EXPECT_NEAR(CdbCompareColours(0xFF0000, 0x000000), (0.114 * 255 * 0.5 + 255) / 569.173, 1e-9);
    // Only the three low bytes count.
    EXPECT_EQ(CdbCompareColours(0xAB123456, 0x00123456), 0.0);
}

TEST(NearestColour, VariegatedScoreComparesFirstColoursFirst)
{
    uint32_t const a[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000};
    uint32_t const b[] = {0x000000, 0x000000, 0x0000FF, 0x000000, 0x123456};
    uint32_t const d3 = Byte(CdbCompareColours(0x00FF00, 0x000000));
    EXPECT_EQ(CompareVariegatedColours(a, 5, b, 5), 0x00FF0000u | d3);
    EXPECT_EQ(CompareVariegatedColours(a, 2, b, 5), 0x00FFFFFFu);   // colours past the shorter count score 255
    EXPECT_EQ(CompareVariegatedColours(a, 0, b, 5), 0xFFFFFFFFu);
    EXPECT_EQ(CompareVariegatedColours(a, 1, b, 1), 0x00FFFFFFu);
    // A closer first colour wins whatever follows.
    uint32_t const target[] = {0x000000, 0xFFFFFF};
    uint32_t const closeFirst[] = {0x010101, 0x000000};
    uint32_t const exactSecond[] = {0x101010, 0xFFFFFF};
    EXPECT_LT(CompareVariegatedColours(closeFirst, 2, target, 2), CompareVariegatedColours(exactSecond, 2, target, 2));
}

TEST(NearestColour, Search)
{
    ColourData const red = Thread({0x0000FF});
    ColourData const nearRed = Thread({0x0000F0});
    ColourData const alsoNearRed = Thread({0x0000F0});
    ColourData const blue = Thread({0xFF0000});
    ColourData const redAndBlue = Thread({0x0000FF, 0xFF0000});
    ColourData const redAndGreen = Thread({0x0000FF, 0x00FF00});
    ColourData const greenAndRed = Thread({0x00FF00, 0x0000FF});
    ColourData nothing = Thread({0x0000FF});
    nothing.numberColours = 0;

    struct Case {
        char const* name;
        ColourData target;
        std::vector<ColourData> table;
        int expected;
    };
    Case const cases[] = {
        {"empty table", red, {}, -1},
        {"ties go to the first", red, {blue, nearRed, alsoNearRed}, 1},
        {"plain target skips variegated threads", red, {redAndBlue, blue, nearRed}, 2},
        {"plain target, only variegated threads", red, {greenAndRed, redAndBlue}, 1},
        {"target without colours, only variegated threads", nothing, {redAndGreen, redAndBlue}, -1},
        {"target without colours, plain threads", nothing, {blue, nearRed}, 1},
        {"variegated target prefers variegated threads", redAndBlue, {red, redAndGreen, redAndBlue}, 2},
        {"variegated target, only plain threads", redAndBlue, {blue, nearRed}, 1},
    };
    for (Case const& c : cases) {
        int const count = static_cast<int>(c.table.size());
        EXPECT_EQ(CdbGetNearestColour(&c.target, c.table.data(), count), c.expected) << c.name;
    }
    EXPECT_EQ(CdbGetNearestColour(&red, &blue, 0), -1);
    EXPECT_EQ(CdbGetNearestColour(&red, &blue, -3), -1);
    EXPECT_EQ(CdbGetNearestColour(nullptr, &blue, 1), -1);
}
