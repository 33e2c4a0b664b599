#include "StitchFormats/Palettes.h"
#include "StitchFormats/ThreadCatalogues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Brodix::ColourData;
namespace SF = Brodix::StitchFormats;

// The cases write colours 0xRRGGBB, as thread charts print them; the code uses 0x00BBGGRR.
unsigned Rgb(unsigned rrggbb)
{
    return (rrggbb >> 16 & 0xFF) | (rrggbb & 0xFF00) | (rrggbb & 0xFF) << 16;
}

rgbData Data(unsigned rrggbb)
{
    return RgbDataFromRGB(Rgb(rrggbb));
}

TEST(Palettes, LookupsGiveTheEntryOrBlackOutsideThePalette)
{
    struct Case {
        char const* palette;
        unsigned (*lookup)(int);
        int index;
        unsigned rrggbb;
    } const cases[] = {
        {"Tovenrik", GetTovenrikRGB, 0, 0x000000},
        {"Tovenrik", GetTovenrikRGB, 3, 0xFF0000},
        {"Tovenrik", GetTovenrikRGB, 28, 0xE66024},
        {"Tovenrik", GetTovenrikRGB, 29, 0},
        {"Tovenrik", GetTovenrikRGB, -1, 0},
        {"Brother", GetBrotherRGB, 0, 0x0E1F7C},
        {"Brother", GetBrotherRGB, 60, 0xE3F35B},
        {"Brother", GetBrotherRGB, 64, 0xDCDCDC},
        {"Brother", GetBrotherRGB, 65, 0},
        {"Brother", GetBrotherRGB, -1, 0},
        {"Janome", GetExtendedSewRGB, 2, 0xFFFF10},
        {"Janome", GetExtendedSewRGB, 77, 0xDFAF7F},
        {"Janome", GetExtendedSewRGB, 78, 0},
        {"Janome", GetExtendedSewRGB, -1, 0},
        {"Janome", GetExtendedSewRGB, 256 + 2, 0},   // must not wrap onto code 2
    };
    for (Case const& c : cases)
        EXPECT_EQ(c.lookup(c.index), Rgb(c.rrggbb)) << c.palette << " " << c.index;
}

TEST(Palettes, JanomeFormsAgreeAndCodesAreIndices)
{
    for (int i = 0; i < NumSewColsNew; ++i) {
        EXPECT_EQ(NewSewColsSpecial[i][0], i);
        EXPECT_EQ(0, std::memcmp(NewSewColsSpecial[i] + 1, NewSewCols[i], 3)) << i;
    }
}

TEST(Palettes, NearestColourSearch)
{
    unsigned char const tie[][3] = {{0, 0, 0}, {2, 0, 0}};
    unsigned char const tieReversed[][3] = {{2, 0, 0}, {0, 0, 0}};
    unsigned char const farAway[][3] = {{0, 0, 0}, {0, 0, 1}};
    // Equal distances: the first candidate wins.
    EXPECT_EQ(GetNearestColour(1, 0, 0, 2, tie), 0);
    EXPECT_EQ(GetNearestColour(1, 0, 0, 2, tieReversed), 0);
    // Nothing nearer than 255: index 0, even though entry 1 is a little nearer.
    EXPECT_EQ(GetNearestColour(255, 255, 255, 2, farAway), 0);
    EXPECT_EQ(GetNearestColour(0, 0, 1, 0, farAway), 0);
    EXPECT_EQ(GetNearestColour(0, 0, 1, 2, farAway), 1);

    EXPECT_EQ(SF::GetClosestTovenrikToRGB(Rgb(0xFF0000)), 3);
    EXPECT_EQ(SF::GetClosestTovenrikToRGB(Rgb(0xFE0101)), 3);
    EXPECT_EQ(SF::GetClosestTovenrikToRGB(Rgb(0x000001)), 0);

    rgbData const table[] = {Data(0x000000), Data(0x808080), Data(0xFFFFFF)};
    EXPECT_EQ(GetNearestColourA(Rgb(0x808080), 3, table), 1);
    EXPECT_EQ(GetNearestColourA(Rgb(0xF0F0F0), 3, table), 2);
    EXPECT_EQ(GetNearestColourA(Rgb(0xF0F0F0), 0, table), 0);
    rgbData padded = Data(0xFFFFFF);
    padded.fourth = 0xAB;   // the padding byte takes no part
    EXPECT_EQ(GetNearestColourA(Rgb(0xFFFFFF), 1, &padded), 0);
}

TEST(Palettes, ClosestBrotherFillsRgbCodeAndImage)
{
    unsigned char rgb[3];
    unsigned char code[3];
    unsigned char image[BrotherCodeImageBytes];
    std::memset(image, 0xEE, sizeof image);
    EXPECT_EQ(GetClosestBrotherToRGB(Data(0x000000), rgb, code, image), 19);
    EXPECT_EQ(std::vector<int>(rgb, rgb + 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(std::vector<int>(code, code + 3), (std::vector<int>{9, 0, 0}));
    EXPECT_EQ(std::vector<unsigned char>(image, image + sizeof image), std::vector<unsigned char>(sizeof image, 0));

    EXPECT_EQ(GetClosestBrotherToRGB(Data(0x0A55A3), nullptr, code, nullptr), 1);
    EXPECT_EQ(std::vector<int>(code, code + 3), (std::vector<int>{4, 0, 5}));

    // Entries 61..64 have no code and take no part in the search.
    int const i = GetClosestBrotherToRGB(Data(0xFFC864), rgb, nullptr, nullptr);
    EXPECT_LT(i, NumBrotherCols);
    EXPECT_EQ(0, std::memcmp(rgb, BrotherCols[i], 3));
}

TEST(Palettes, ClosestSewGivesTheJanomeCode)
{
    EXPECT_EQ(GetClosestSewToRGB(Data(0xFF0000)), 9);
    EXPECT_EQ(GetClosestSewToRGB(Data(0xFFFF11)), 2);
    EXPECT_EQ(GetClosestSewToRGB(Data(0xDFAF7F)), 77);
}

TEST(Palettes, NumberDistinctKeepsFirstAppearanceOrder)
{
    rgbData values[] = {Data(0x102030), Data(0xFFFFFF), Data(0x102030), Data(0x000000), Data(0xFFFFFF)};
    values[2].fourth = 7;   // same colour, different padding
    rgbData out[5] = {};
    EXPECT_EQ(NumberDistinctRGB(values, 5, out), 3);
    EXPECT_EQ(out[0].red, 0x10);
    EXPECT_EQ(out[1].red, 0xFF);
    EXPECT_EQ(out[2].red, 0x00);
    EXPECT_EQ(out[2].blue, 0x00);
    EXPECT_EQ(NumberDistinctRGB(values, 5, nullptr), 3);
    EXPECT_EQ(NumberDistinctRGB(values, 2, nullptr), 2);
    EXPECT_EQ(NumberDistinctRGB(values, 0, out), 0);
}

TEST(Palettes, PcsDefaultPaletteIsCopiedWhole)
{
    rgbData out[NumPcsCols + 1];
    std::memset(out, 0x55, sizeof out);
    SetToPcsCols(out);
    EXPECT_EQ(GetNearestColourA(Rgb(0xFFFFFF), NumPcsCols, out), 15);
    EXPECT_EQ(GetNearestColourA(Rgb(0x000080), NumPcsCols, out), 1);
    for (int i = 0; i < NumPcsCols; ++i)
        EXPECT_EQ(out[i].fourth, 0) << i;
    EXPECT_EQ(out[NumPcsCols].red, 0x55);   // nothing beyond the 16 entries
}

TEST(Palettes, ReduceDravoPaletteKeepsFifteenDistinctColours)
{
    std::vector<unsigned> colours;
    for (unsigned k = 0; k < 15; ++k)
        colours.push_back(Rgb(k * 0x111111));   // 000000, 111111, ... EEEEEE
    colours.push_back(Rgb(0x111111));            // a repeat keeps the count at 15
    std::vector<unsigned> const fifteen = colours;
    ReduceDravoPalette(colours.data(), int(colours.size()));
    EXPECT_EQ(colours, fifteen);

    colours.push_back(Rgb(0xFFFFFF));   // the 16th distinct colour
    colours.push_back(Rgb(0x232323));
    ReduceDravoPalette(colours.data(), int(colours.size()));
    EXPECT_TRUE(std::equal(fifteen.begin(), fifteen.end(), colours.begin()));
    EXPECT_EQ(colours[16], Rgb(0xEEEEEE));
    EXPECT_EQ(colours[17], Rgb(0x222222));
}

TEST(Palettes, ConvertColoursToFormatMapsOntoTheMachinePalette)
{
    struct Case {
        int convertType;
        unsigned rrggbb;
        unsigned expected;
    } const cases[] = {
        {1, 0xFE0101, 0xFF0000},    // Tovenrik
        {6, 0x010101, 0x000000},    // Brother
        {8, 0xDCDCDC, 0xD8CCC6},    // entry 64 itself is never chosen
        {10, 0xFFFF11, 0xFFFF10},   // Janome
        {3, 0x123456, 0x123456},    // no machine palette
    };
    for (Case const& c : cases) {
        unsigned colour = Rgb(c.rrggbb);
        ConvertColoursToFormat(&colour, 1, c.convertType);
        EXPECT_EQ(colour, Rgb(c.expected)) << c.convertType;
    }
}

// A record with every field set, so that a fill which leaves anything behind shows.
ColourData Stale()
{
    ColourData c;
    c.numberColours = 7;
    std::fill(std::begin(c.colours), std::end(c.colours), 0x5A5A5Au);
    std::fill(std::begin(c.lengths), std::end(c.lengths), 9u);
    c.materialType = 3;
    c.threadWeight = 3;
    c.variegated = true;
    std::memset(c.serialNumber, 'S', sizeof c.serialNumber);
    std::memset(c.threadName, 'T', sizeof c.threadName);
    std::memset(c.manufacturerName, 'M', sizeof c.manufacturerName);
    return c;
}

TEST(Palettes, NearestColourDataFillsTheThreadRecord)
{
    struct Case {
        unsigned rrggbb;
        int colourType;
        char const* code;
        char const* name;
        char const* manufacturer;
        uint32_t materialType;
        unsigned colour;
    } const cases[] = {
        {0xFFF989, 0, "1022", "Lemonade", "Madeira Rayon 40", 8, 0xFFF989},
        {0xFEF989, 0, "1022", "Lemonade", "Madeira Rayon 40", 8, 0xFFF989},   // nearest takes its RGB
        {0xFEFEFE, 9, "1001", "Bright White", "Sulky Rayon 40", 8, 0xFEFEFE},
        {0xFEFEFE, -1, "1001", "Bright White", "Sulky Rayon 40", 8, 0xFEFEFE},
        {0xF9F6C0, 2, "0270", "Pale Yellow", "Isafil Rayon 40", 8, 0xF9F6C0},
        {0xEBCCDB, 3, "2243", "Light Pink", "Robison-Anton Rayon 40", 8, 0xEBCCDB},
        {0xFBD7D8, 4, "5543", "Light Pink", "Robison-Anton Poly 40", 7, 0xFBD7D8},
        {0xFFDE00, 5, "61187", "Mimosa Yellow", "Sulky Poly Stickma 40", 7, 0xFFDE00},
        {0xFFED00, 6, "1623", "Daffodil", "Madeira Poly Neon 40", 7, 0xFFED00},
        {0xFFFFFF, 7, "0015", "White ", "Icord Poly 40", 7, 0xFFFFFF},   // first of two white rows
        {0xFAFD9E, 8, "488", "Buttermilk", "Coats-Alcazar Rayon 40", 8, 0xFAFD9E},
    };
    for (Case const& c : cases) {
        ColourData out = Stale();
        GetNearestColourData(out, Rgb(c.rrggbb), c.colourType);
        ColourData expected{};
        expected.numberColours = 1;
        expected.lengths[0] = 1;
        expected.colours[0] = Rgb(c.colour);
        expected.materialType = c.materialType;
        expected.threadWeight = 5;
        Brodix::ColourDataEx::Copy(expected.serialNumber, c.code);
        Brodix::ColourDataEx::Copy(expected.threadName, c.name);
        Brodix::ColourDataEx::Copy(expected.manufacturerName, c.manufacturer);
        EXPECT_TRUE(out == expected) << std::hex << c.rrggbb << " type " << std::dec << c.colourType << ": got "
                                     << out.serialNumber << " " << out.threadName << " " << out.manufacturerName;
    }

    ColourData viaNamespace;
    SF::GetNearestColourData(viaNamespace, Rgb(0xFFF989), 0);
    EXPECT_STREQ(viaNamespace.threadName, "Lemonade");
}

TEST(Palettes, OldColourLooksUpTheCodeText)
{
    struct Case {
        int colourType;
        int code;
        unsigned rrggbb;
    } const cases[] = {
        {2, 270, 0xF9F6C0},      // "0270"
        {0, 270, 0x0000FF},      // "270": not in the chart, blue
        {0, 1022, 0xFFF989},
        {7, 15, 0xFFFFFF},       // "0015"
        {8, 488, 0xFAFD9E},      // plain digits for the other charts
        {1, 1001, 0xFEFEFE},
        {9, 1001, 0xFEFEFE},     // out-of-range type: chart 1
        {5, 61187, 0xFFDE00},
        {5, 161187, 0x0000FF},   // clamped to 99999
        {1, -5, 0x0000FF},       // clamped to "0000"
    };
    for (Case const& c : cases)
        EXPECT_EQ(GetOldColourRGB(c.colourType, c.code), Rgb(c.rrggbb)) << c.colourType << " " << c.code;
}

TEST(Palettes, VipFormatColoursPicksTheManufacturersCatalogue)
{
    struct Case {
        char const* manufacturer;
        unsigned own;
        int catalogue;
        unsigned rgb;   // 0x123456 when it must stay unchanged
    } const cases[] = {
        {"Isafil Rayon 40", 0xF9F6C0, 2, 0xF9F6C0},
        {"Isafil", 0xFEF9C0, 2, 0xFDF8BC},            // nearest Isafil entry
        {"Madeira", 0xFFED00, 6, 0xFFED00},           // the last catalogue that matches wins
        {"Brand X", 0xFEFEFE, 1, 0xFEFEFE},
        {"", 0xFAFD9E, 8, 0xFAFD9E},                  // every name contains the empty one: the last wins
    };
    for (Case const& c : cases) {
        ColourData colour = ColourData::Default();
        colour.colours[0] = Rgb(c.own);
        Brodix::ColourDataEx::Copy(colour.manufacturerName, c.manufacturer);
        unsigned rgb = Rgb(0x123456);
        EXPECT_EQ(GetVipFormatColours(rgb, colour), c.catalogue) << c.manufacturer;
        EXPECT_EQ(rgb, Rgb(c.rgb)) << c.manufacturer;
    }

    ColourData unterminated = ColourData::Default();
    std::memset(unterminated.manufacturerName, 'M', sizeof unterminated.manufacturerName);
    unsigned rgb = 0;
    EXPECT_EQ(GetVipFormatColours(rgb, unterminated), 1);
}

// The tables compiled into the library must hold every chart row, in order.
TEST(Palettes, CataloguesMatchTheThreadCharts)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> charts(SF::NumColourBases);
    for (fs::directory_entry const& e : fs::directory_iterator(QEL_THREAD_CHARTS_DIR)) {
        std::string const name = e.path().filename().string();
        if (e.path().extension() == ".csv" && name.size() > 2 && name[1] == '-' && name[0] >= '0'
            && name[0] < '0' + SF::NumColourBases)
            charts[name[0] - '0'] = e.path();
    }
    for (int t = 0; t < SF::NumColourBases; ++t) {
        ASSERT_FALSE(charts[t].empty()) << "no chart for colour type " << t;
        std::ifstream in(charts[t]);
        std::string line;
        std::getline(in, line);
        ASSERT_EQ(line, "code,red,green,blue,name");
        int row = 0;
        while (std::getline(in, line)) {
            if (line.empty())
                continue;
            ASSERT_LT(row, SF::ColourBaseSizes[t]) << charts[t];
            SF::ThreadCatalogueEntry const& e = SF::ColourBases[t][row];
            ASSERT_NE(e.code, nullptr);
            std::string const expected = "\"" + std::string(e.code) + "\"," + std::to_string(e.red) + ","
                + std::to_string(e.green) + "," + std::to_string(e.blue) + ",\"" + e.name + "\"";
            EXPECT_EQ(line, expected) << charts[t] << " row " << row;
            ++row;
        }
        EXPECT_EQ(row, SF::ColourBaseSizes[t]) << charts[t];
        EXPECT_EQ(SF::ColourBases[t][SF::ColourBaseSizes[t]].code, nullptr) << charts[t];
    }
}

} // namespace
