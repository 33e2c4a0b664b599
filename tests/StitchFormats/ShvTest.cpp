// SHV and DHV readers: stitch units, long jumps along the pixel line, colour
// entries, DHV placement, refusals, and every sample file.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Shv.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormatsTesting.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Brodix::IArchiverStream;
using Brodix::Archivers::MemoryStreamRW;
using Brodix::CommonTypes::PointI;
using Bytes = std::vector<uint8_t>;
namespace SF = Brodix::StitchFormats;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;

namespace {

constexpr uint8_t N = STITCH_NORMAL, J = STITCH_JUMP, C = STITCH_COLOUR, S = STITCH_STOP, E = STITCH_END;

void PutBE(Bytes& b, uint32_t value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

struct ShvColour {
    uint32_t units;
    Bytes data;
    uint8_t card = 1;
    uint8_t chart = 0;
    uint32_t bcdCode = 0;
};

// A design body: name, a small preview (or the extended preview size form),
// the colour entries, then each colour's stitch units.
Bytes ShvBody(std::vector<ShvColour> const& colours, std::string const& name = "", bool extendedPreview = false)
{
    Bytes b(86, 0);
    b.push_back(static_cast<uint8_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    if (extendedPreview) {
        b.insert(b.end(), {0xFF, 0xFF, 0});
        PutBE(b, 3, 2);   // width
        PutBE(b, 5, 2);   // height: 3 bytes per row pair, 3 pairs
        b.insert(b.end(), 8 + 3 * 3, 0);
    } else {
        b.insert(b.end(), {2, 3});
        b.insert(b.end(), 4 + 2 * 2, 0);
    }
    b.push_back(static_cast<uint8_t>(colours.size()));
    b.insert(b.end(), 14, 0);
    uint32_t dataSize = 0;
    for (auto const& c : colours)
        dataSize += static_cast<uint32_t>(c.data.size());
    PutBE(b, dataSize, 4);
    for (auto const& c : colours) {
        PutBE(b, c.units, 4);
        b.push_back(c.card);
        b.push_back(c.chart);
        PutBE(b, c.bcdCode, 4);
        PutBE(b, 0, 4);
    }
    for (auto const& c : colours)
        b.insert(b.end(), c.data.begin(), c.data.end());
    return b;
}

int Load(CStitches& stitches, Bytes const& file, SF::Format format, std::wstring* name = nullptr)
{
    MemoryStreamRW<IArchiverStream> stream(file.data(), file.size());
    return stitches.Load(stream, format, nullptr, nullptr, nullptr, name);
}

TEST(ShvReader, DecodesStitchUnits)
{
    struct Case {
        char const* name;
        std::vector<ShvColour> colours;
        std::vector<Record> records;
    };
    std::vector<Case> const cases = {
        {"stitches and a stop, y turned up", {{3, {1, 2, 3, 0xFC, 0x80, 0}}},
         {{N, 0, 0}, {N, 1, -2}, {N, 3, 4}, {S, 0, 0}, {E, 0, 0}}},
        {"long jump along the pixel line", {{4, {0x80, 1, 0x00, 0xC8, 0, 0, 0, 0}}},
         {{N, 0, 0}, {J, 80, 0}, {J, 80, 0}, {N, 40, 0}, {E, 0, 0}}},
        {"colour change between colours", {{1, {1, 1}}, {1, {2, 2}}},
         {{N, 0, 0}, {N, 1, -1}, {C, 0, 0}, {N, 2, -2}, {E, 0, 0}}},
        {"other escapes are ignored", {{3, {0x80, 5, 0x80, 0xFD, 1, 1}}}, {{N, 0, 0}, {N, 1, -1}, {E, 0, 0}}},
        {"a step of 128 is split, not wrapped", {{1, {0, 0x80}}}, {{N, 0, 0}, {J, 0, 80}, {N, 0, 48}, {E, 0, 0}}},
        {"unit count past the data ends the design", {{10, {1, 1}}, {1, {}}},
         {{N, 0, 0}, {N, 1, -1}, {C, 0, 0}, {E, 0, 0}}},
        {"truncated long jump ends the design", {{4, {1, 1, 0x80, 1, 0, 10}}}, {{N, 0, 0}, {N, 1, -1}, {E, 0, 0}}},
    };
    for (bool extended : {false, true}) {
        for (auto const& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (extended ? " (extended preview)" : ""));
            CStitches stitches(0);
            ASSERT_EQ(Load(stitches, ShvBody(c.colours, "", extended), SF::FormatSHV), 0);
            EXPECT_EQ(Records(stitches), c.records);
            EXPECT_EQ(stitches.GetNumberColours(), static_cast<int>(c.colours.size()));
        }
    }
}

TEST(ShvReader, ColourEntriesUseTheChartOrTheCardPalette)
{
    std::vector<ShvColour> const colours = {
        {1, {1, 1}, 0, 2, 0x00000270},   // chart 2: catalogue 1, code 270
        {1, {1, 1}, 19, 0},              // card 19: Tovenrik 16
        {1, {1, 1}, 44, 0},              // beyond the card table: black
        {1, {1, 1}, 5, 10},              // chart 10 is no chart: card 5
    };
    CStitches stitches(4);
    std::wstring name;
    ASSERT_EQ(Load(stitches, ShvBody(colours, "Rose\xE9"), SF::FormatSHV, &name), 0);
    EXPECT_EQ(name, L"Rose\u00E9");
    ASSERT_EQ(stitches.GetNumberColours(), 4);
    EXPECT_EQ(stitches.GetColour(0), GetOldColourRGB(1, 270));
    EXPECT_EQ(stitches.GetManufacturer(0), 1);
    EXPECT_EQ(stitches.GetColour(1), GetTovenrikRGB(16));
    EXPECT_EQ(stitches.GetManufacturer(1), 4);
    EXPECT_EQ(stitches.GetColour(2), 0u);
    EXPECT_EQ(stitches.GetColour(3), GetTovenrikRGB(5));
}

TEST(ShvReader, ManyColoursStayInBounds)
{
    std::vector<ShvColour> colours(150);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {1, {1, 1}, static_cast<uint8_t>(i % 44)};
    CStitches stitches(0);
    ASSERT_EQ(Load(stitches, ShvBody(colours), SF::FormatSHV), 0);
    EXPECT_EQ(stitches.GetNumberColours(), 150);
    EXPECT_EQ(stitches.GetActualColourCount(), 149);
    EXPECT_EQ(stitches.GetColour(149), GetTovenrikRGB(0));   // card 149 % 44 = 17
}

TEST(ShvReader, RefusesWithoutAllocating)
{
    Bytes const good = ShvBody({{1, {1, 1}}});
    Bytes marker = good;
    std::string const text = "SColourStitch";
    std::copy(text.begin(), text.end(), marker.begin());
    Bytes badPreview = ShvBody({{1, {1, 1}}}, "", true);
    badPreview[86 + 1 + 3] = 0x80;   // negative extended width
    struct Case {
        char const* name;
        Bytes file;
    };
    std::vector<Case> const cases = {
        {"marker text", marker},
        {"ends inside the colour entries", Bytes(good.begin(), good.end() - 3)},
        {"ends before the name", Bytes(good.begin(), good.begin() + 80)},
        {"negative preview size", badPreview},
        {"no colours", ShvBody({})},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        EXPECT_EQ(Load(stitches, c.file, SF::FormatSHV), 5);
        if (std::string(c.name) != "no colours") {
            EXPECT_EQ(stitches.GetCapacity(), 0);
        }
    }
}

TEST(ShvHelpers, PackedDecimal)
{
    struct Case {
        int number;
        Bytes bcd;
    };
    std::vector<Case> const cases = {
        {270, {0x00, 0x00, 0x02, 0x70}},
        {0, {0x00, 0x00, 0x00, 0x00}},
        {12345678, {0x12, 0x34, 0x56, 0x78}},
        {99999999, {0x99, 0x99, 0x99, 0x99}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(Shv::BcdToNumber(c.bcd.data(), 4), c.number);
        Bytes out(4, 0xEE);
        Shv::NumberToBcd(c.number, out.data(), 4);
        EXPECT_EQ(out, c.bcd);
    }
    Bytes out(2, 0xEE);
    Shv::NumberToBcd(123456, out.data(), 2);   // digits beyond the bytes are dropped
    EXPECT_EQ(out, (Bytes{0x34, 0x56}));
}

TEST(ShvHelpers, JumpRecordsFollowThePixelLine)
{
    struct Case {
        int dx;
        int dy;
        std::vector<Record> records;
    };
    std::vector<Case> const cases = {
        {0, 0, {{N, 0, 0}}},
        {80, 0, {{N, 80, 0}}},
        {200, -37, {{J, 80, 14}, {J, 80, 15}, {N, 40, 8}}},
        {-30, 170, {{J, -14, -80}, {J, -14, -80}, {N, -2, -10}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        CStitches stitches(0);
        int index = 0;
        ASSERT_TRUE(stitches.ConvertToJumpStitch(c.dx, c.dy, index));
        stitches.SetCount(index);
        EXPECT_EQ(Records(stitches), c.records);

        // The jumps end on every 80th point of the line to (dx, -dy).
        std::vector<PointI> points(std::max(std::abs(c.dx), std::abs(c.dy)) + 1);
        int count = -1;
        Shv::GetPixelsInLine(0, 0, c.dx, -c.dy, points.data(), count);
        EXPECT_EQ(count, static_cast<int>(points.size()) - 1);
        PointI at{0, 0};
        for (std::size_t i = 0; i + 1 < c.records.size(); ++i) {
            at.x += c.records[i].dx;
            at.y += c.records[i].dy;
            EXPECT_EQ(points[80 * (i + 1)], at);
        }
    }
}

struct DhvDesign {
    uint8_t flags;   // bit 2 mirror, bits 0 and 1 direction
    int16_t x;
    int16_t y;
    int8_t scaleX;
    int8_t scaleY;
    Bytes body;
};

Bytes Dhv(std::vector<DhvDesign> const& designs, int addressShift = 0)
{
    Bytes file(97, 0);   // no file name: the design count is at 96
    file[96] = static_cast<uint8_t>(designs.size());
    uint32_t address = 97 + 4 * static_cast<uint32_t>(designs.size());
    for (auto const& d : designs) {
        PutBE(file, address + addressShift, 4);
        address += 7 + static_cast<uint32_t>(d.body.size());
    }
    for (auto const& d : designs) {
        file.push_back(d.flags);
        PutBE(file, static_cast<uint16_t>(d.x), 2);
        PutBE(file, static_cast<uint16_t>(d.y), 2);
        file.push_back(static_cast<uint8_t>(d.scaleX));
        file.push_back(static_cast<uint8_t>(d.scaleY));
        file.insert(file.end(), d.body.begin(), d.body.end());
    }
    return file;
}

TEST(DhvReader, PlacesDesignsOneAfterAnother)
{
    struct Case {
        char const* name;
        std::vector<DhvDesign> designs;
        std::vector<Record> records;
    };
    std::vector<Case> const cases = {
        {"second design turned, mirrored and scaled",
         {{0, 10, 20, 0, 0, ShvBody({{1, {1, 2}}})}, {0b101, 100, 0, -50, 0, ShvBody({{1, {4, 2}}})}},
         // From the first design's end (11, 22) to (100, 0); (4, 2) turned to (-2, 4),
         // mirrored to (-2, -4), the halved scale acting on y once turned.
         {{N, 10, -20}, {N, 1, -2}, {E, 0, 0}, {C, 0, 0}, {J, 80, 20}, {N, 9, 2}, {N, -2, 2}, {E, 0, 0}}},
        {"direction 2 turns half round", {{2, 0, 0, 0, 0, ShvBody({{1, {3, 4}}})}},
         {{N, 0, 0}, {N, -3, 4}, {E, 0, 0}}},
        // Half of 1, 2 and 3 is 0, 1 and 1: the positions are scaled, not the steps.
        {"scaling does not accumulate rounding", {{0, 0, 0, -50, 0, ShvBody({{3, {1, 0, 1, 0, 1, 0}}})}},
         {{N, 0, 0}, {N, 0, 0}, {N, 1, 0}, {N, 0, 0}, {E, 0, 0}}},
        {"mirror without a turn negates x", {{0b100, 0, 0, 0, 0, ShvBody({{1, {3, 4}}})}},
         {{N, 0, 0}, {N, -3, -4}, {E, 0, 0}}},
        {"scaled step beyond a byte is split", {{0, 0, 0, 100, 0, ShvBody({{1, {100, 0}}})}},
         {{N, 0, 0}, {J, 80, 0}, {J, 80, 0}, {N, 40, 0}, {E, 0, 0}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        ASSERT_EQ(Load(stitches, Dhv(c.designs), SF::FormatDHV), 0);
        EXPECT_EQ(Records(stitches), c.records);
    }
}

TEST(DhvReader, RefusesDesignsPastTheFile)
{
    DhvDesign const design{0, 0, 0, 0, 0, ShvBody({{1, {1, 1}}})};
    Bytes const good = Dhv({design, design});
    Bytes shortTable(good.begin(), good.begin() + 100);
    struct Case {
        char const* name;
        Bytes file;
    };
    std::vector<Case> const cases = {
        {"address past the end", Dhv({design, design}, 1000)},
        {"address table past the end", shortTable},
        {"second design cut short", Bytes(good.begin(), good.end() - 5)},
        {"no designs", Dhv({})},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        EXPECT_EQ(Load(stitches, c.file, SF::FormatDHV), 5);
        EXPECT_EQ(stitches.GetCapacity(), 0);
    }
}

TEST(ShvCorpus, EverySampleLoads)
{
    int loaded = 0;
    for (auto const& entry : std::filesystem::directory_iterator("../shared/corpus/shv")) {
        SCOPED_TRACE(entry.path().filename().string());
        Bytes const file = StitchFormatsTesting::ReadFile(entry.path());
        CStitches stitches(0);
        std::wstring name;
        ASSERT_EQ(Load(stitches, file, SF::FormatSHV, &name), 0);
        EXPECT_GT(stitches.GetCount(), 1);
        EXPECT_EQ(name.size(), file[86]);
        ++loaded;
    }
    EXPECT_EQ(loaded, 8);
}

} // namespace
