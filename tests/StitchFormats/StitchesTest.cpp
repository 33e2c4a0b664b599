#include "StitchFormats/Stitches.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormatsTesting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::PointI;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;
namespace SF = Brodix::StitchFormats;
using StitchFormatsTesting::StitchesOf;

std::vector<CStitch> Records(CStitches& stitches)
{
    std::vector<CStitch> out;
    for (int i = 0; i < stitches.GetCount(); ++i)
        out.push_back(*stitches.GetStitch(i));
    return out;
}

void Fill(CStitches& stitches, std::vector<CStitch> const& records)
{
    ASSERT_EQ(stitches.AllocStorage(static_cast<int>(records.size())), 0);
    for (std::size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(stitches.PutStitch(static_cast<int>(i), records[i]), 0);
}

TEST(Stitches, StorageIndicesOutsideTheCountAreRefused)
{
    CStitches stitches(0);
    EXPECT_EQ(stitches.AllocStorage(2), 0);
    EXPECT_EQ(stitches.AllocStorage(5), 1);   // storage is allocated once
    EXPECT_EQ(stitches.PutStitch(0, {STITCH_NORMAL, 1, 2}), 0);
    EXPECT_EQ(stitches.PutStitch(2, {STITCH_NORMAL, 3, 4}), 1);
    EXPECT_EQ(stitches.PutStitch(-1, {STITCH_NORMAL, 3, 4}), 1);
    EXPECT_EQ(*stitches.GetStitch(0), (CStitch{STITCH_NORMAL, 1, 2}));
    EXPECT_EQ(*stitches.GetStitch(-1), (CStitch{0xFF, -1, -1}));
    EXPECT_EQ(*stitches.GetStitch(2), (CStitch{0xFF, -1, -1}));

    // A count asked beyond the storage is held to it, so no read goes past it.
    stitches.SetCount(1000);
    EXPECT_EQ(stitches.GetCount(), 2);
    stitches.SetCount(0);
    EXPECT_TRUE(stitches.AppendStitch({STITCH_JUMP, 5, 5}));
    EXPECT_TRUE(stitches.AppendStitch({STITCH_JUMP, 6, 6}));
    EXPECT_FALSE(stitches.AppendStitch({STITCH_JUMP, 7, 7}));
    EXPECT_EQ(stitches.GetCount(), 2);
}

TEST(Stitches, PutStitchReallocGrowsAndKeepsTheRecords)
{
    CStitches stitches(0);
    ASSERT_EQ(stitches.AllocStorage(1), 0);
    ASSERT_EQ(stitches.PutStitch(0, {STITCH_NORMAL, 1, 1}), 0);
    EXPECT_EQ(stitches.PutStitchRealloc(1, {STITCH_JUMP, 2, 2}, 0), 1);   // no growth: dropped
    EXPECT_EQ(stitches.PutStitchRealloc(1, {STITCH_JUMP, 2, 2}, 10), 0);
    EXPECT_EQ(stitches.GetCount(), 11);
    EXPECT_EQ(*stitches.GetStitch(0), (CStitch{STITCH_NORMAL, 1, 1}));
    EXPECT_EQ(*stitches.GetStitch(1), (CStitch{STITCH_JUMP, 2, 2}));
}

TEST(Stitches, ColourAccessorsIgnoreIndicesOutsideTheTable)
{
    CStitches stitches(3);
    stitches.SetNumberColours(2);
    stitches.SetColour(1, 0x123456);
    stitches.SetManufacturer(1, 7);
    stitches.SetColour(2, 0xFFFFFF);
    stitches.SetManufacturer(-1, 7);
    EXPECT_EQ(stitches.GetNumberColours(), 2);
    EXPECT_EQ(stitches.GetColour(1), 0x123456u);
    EXPECT_EQ(stitches.GetManufacturer(1), 7);
    EXPECT_EQ(stitches.GetColour(2), 0u);
    EXPECT_EQ(stitches.GetColour(-1), 0u);
    EXPECT_EQ(stitches.GetManufacturer(2), 1);
    EXPECT_EQ(stitches.GetManufacturer(-1), 1);
}

TEST(Stitches, ShortNotesHoldEightCharacters)
{
    struct Case {
        char const* text;
        char const* expected;
        uint16_t trailer;
    } const cases[] = {
        {"abc", "abc", 0},
        {"abcdefgh", "abcdefgh", 0},   // the terminator falls on the trailer
        {"abcdefghi", "abcdefgh", 0},
        {"", "", 0},
    };
    for (Case const& c : cases) {
        CStitches stitches(0);
        stitches.SetNotes(c.text);
        char out[9] = "xxxxxxxx";
        stitches.GetNotes(out);
        EXPECT_STREQ(out, c.expected) << c.text;
        EXPECT_EQ(stitches.GetHeader().notesTrailer, c.trailer);
    }
}

TEST(Stitches, CountLimitsAreInclusiveAndRefuseNegatives)
{
    EXPECT_TRUE(CStitches::ValidateStitchCount(5'000'000));
    EXPECT_FALSE(CStitches::ValidateStitchCount(5'000'001));
    EXPECT_FALSE(CStitches::ValidateStitchCount(-1));
    EXPECT_TRUE(CStitches::ValidateNumCols(2'000));
    EXPECT_FALSE(CStitches::ValidateNumCols(2'001));
    EXPECT_FALSE(CStitches::ValidateNumCols(-1));
}

TEST(Stitches, CanFileMarkerIsFoundInTheFirstKilobyteAndThePositionKept)
{
    std::string const marker = "SColourStitch";
    struct Case {
        std::size_t offset;
        bool found;
    } const cases[] = {{0, true}, {1024 - 13, true}, {1024 - 12, false}, {2000, false}};
    for (Case const& c : cases) {
        std::string data(3000, 'x');
        data.replace(c.offset, marker.size(), marker);
        MemoryStream stream(data.data(), data.size());
        stream.SetPos(77);
        EXPECT_EQ(CStitches::IsCanFileData(stream), c.found) << c.offset;
        EXPECT_EQ(stream.GetPos(), 77u);
    }
    MemoryStream tiny("SColour", 7);
    EXPECT_FALSE(CStitches::IsCanFileData(tiny));
}

TEST(Stitches, SizeDesignBoxesTheRunningSumsFromTheStart)
{
    CStitches stitches(0);
    Fill(stitches, {{STITCH_NORMAL, 10, 20}, {STITCH_STOP, 5, 0}, {STITCH_JUMP, -30, -50}});
    stitches.SizeDesign();
    EXPECT_EQ(stitches.GetMinX(), -15);
    EXPECT_EQ(stitches.GetMaxX(), 15);
    EXPECT_EQ(stitches.GetMinY(), -30);
    EXPECT_EQ(stitches.GetMaxY(), 20);
    EXPECT_EQ(stitches.GetDesignWidth(), 30);
    EXPECT_EQ(stitches.CheckFitHoop(), 0);
    stitches.SetHoopSize(14, 100);
    EXPECT_EQ(stitches.CheckFitHoop(), 1);
}

TEST(Stitches, LoadRefusesFormatsItHasNoReaderFor)
{
    MemoryStream stream;
    for (int format : {-1, 6, 14, 1000}) {
        CStitches stitches(0);
        EXPECT_EQ(stitches.Load(stream, static_cast<SF::Format>(format), nullptr, nullptr, nullptr, nullptr), 4)
            << format;
    }
}

TEST(Stitches, LongStitchPutSplitsMovesAndMergesSmallRests)
{
    struct Case {
        int x1, y1;
        bool jumpLast;
        std::vector<CStitch> expected;
    } const cases[] = {
        {250, 0, false, {{STITCH_JUMP, 100, 0}, {STITCH_JUMP, 100, 0}, {STITCH_NORMAL, 50, 0}}},
        {203, 0, false, {{STITCH_JUMP, 100, 0}, {STITCH_NORMAL, 103, 0}}},
        {0, 0, false, {}},
        {3, -2, false, {{STITCH_NORMAL, 3, -2}}},
        {-250, 0, true, {{STITCH_JUMP, -100, 0}, {STITCH_JUMP, -100, 0}, {STITCH_JUMP, -50, 0}}},
        {0, 100, true, {{STITCH_JUMP, 0, 100}}},
    };
    for (Case const& c : cases) {
        CStitches stitches(0);
        ASSERT_EQ(stitches.AllocStorage(10), 0);
        int index = 0;
        (c.jumpLast ? LongJumpStitchPut : LongStitchPut)(&stitches, 0, 0, c.x1, c.y1, 100.0, index);
        stitches.SetCount(index);
        EXPECT_EQ(Records(stitches), c.expected) << c.x1 << "," << c.y1;
    }
}

TEST(Stitches, LongStitchPutReachesTheEndOfVeryLongMoves)
{
    // Over a long move the rounded unit step drifts from the true direction;
    // the rest must still arrive in records that fit, not wrap around.
    struct Case {
        int x1, y1;
        double step;
    } const cases[] = {{32767, 32767, 80.0}, {-32768, 12345, 80.0}, {20000, 1, 100.0}, {1000, 999, 122.0}};
    for (Case const& c : cases) {
        CStitches stitches(0);
        ASSERT_EQ(stitches.AllocStorage(2000), 0);
        int index = 0;
        LongStitchPut(&stitches, 0, 0, c.x1, c.y1, c.step, index);
        stitches.SetCount(index);
        long x = 0, y = 0;
        for (CStitch const& r : Records(stitches)) {
            x += r.dx;
            y += r.dy;
        }
        EXPECT_EQ(x, c.x1) << c.x1 << "," << c.y1;
        EXPECT_EQ(y, c.y1) << c.x1 << "," << c.y1;
        EXPECT_EQ(Records(stitches).back().flags, STITCH_NORMAL);
    }
}

TEST(Stitches, LongStitchPutStopsWhereTheStorageEnds)
{
    CStitches stitches(0);
    ASSERT_EQ(stitches.AllocStorage(3), 0);
    int index = 1;
    LongStitchPut(&stitches, 0, 0, 2'000'000'000, 0, 100.0, index);
    EXPECT_EQ(index, 3);
}

TEST(Stitches, ConvertToAbsoluteFollowsTheRecords)
{
    CStitches stitches(0);
    Fill(stitches, {{STITCH_NORMAL, 10, 10},
                    {STITCH_JUMP, 5, 0},
                    {STITCH_NORMAL, 0, -5},
                    {STITCH_TRIM, 9, 9},
                    {STITCH_COLOUR, 0, 0},
                    {0x83, 50, 50},
                    {STITCH_STOP, 0, 0},
                    {STITCH_END, 0, 0}});
    stitches.SetNumberColours(2);
    stitches.SetColour(0, GetTovenrikRGB(3));
    stitches.SetColour(1, GetTovenrikRGB(12));

    for (bool addJumps : {false, true}) {
        CSimpleDesign design;
        EXPECT_EQ(stitches.ConvertToAbsolute(design, PointI{0, 0}, false, addJumps), 2);
        std::vector<std::pair<uint8_t, PointI>> expected = {
            {CAbsStitch::ColourChange, {0, 0}}, {CAbsStitch::Normal, {10, -10}}, {CAbsStitch::Normal, {15, -5}},
            {CAbsStitch::Trim, {15, -5}},       {CAbsStitch::ColourChange, {15, -5}}, {CAbsStitch::Stop, {15, -5}}};
        if (addJumps)
            expected.insert(expected.begin() + 2, {CAbsStitch::Jump, {15, -10}});
        auto const got = StitchesOf(design);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].type, expected[i].first) << i;
            EXPECT_EQ(got[i].position, expected[i].second) << i;
        }
        EXPECT_EQ(got.back().colourIndex, 1);
        ASSERT_EQ(design.GetColourCount(), 2u);
        EXPECT_STREQ(design.GetColour(0).manufacturerName, "Madeira Rayon 40");
    }
}

TEST(Stitches, ConvertToAbsoluteUsesStoredTypesAndBlackBeyondTheTable)
{
    CStitches stitches(0);
    Fill(stitches, {{STITCH_COLOUR, 0, 0}, {STITCH_COLOUR, 0, 0}});
    stitches.SetNumberColours(2);
    stitches.SetColour(0, 0xFFFFFF);
    stitches.SetManufacturer(0, 0);
    stitches.SetColour(1, 0xFFFFFF);
    stitches.SetManufacturer(1, 7);
    CSimpleDesign design;
    EXPECT_EQ(stitches.ConvertToAbsolute(design, PointI{3, 4}, true, false), 3);
    ASSERT_EQ(design.GetColourCount(), 3u);
    EXPECT_STREQ(design.GetColour(0).manufacturerName, "Madeira Rayon 40");
    EXPECT_STREQ(design.GetColour(1).manufacturerName, "Icord Poly 40");
    // The third colour is not in the table: black from the colour type 1 catalogue.
    Brodix::ColourData black;
    GetNearestColourData(black, 0, 1);
    EXPECT_EQ(design.GetColour(2), black);
}

TEST(Stitches, ConvertFromAbsoluteRoundTripsNeedlePositions)
{
    CSimpleDesign design;
    Brodix::ColourData colour = Brodix::ColourData::Default();
    colour.colours[0] = GetTovenrikRGB(3);
    design.AddColourStitch(colour, PointI{-400, 300}, false);
    for (PointI p : {PointI{-390, 310}, PointI{100, 310}, PointI{100, -200}})
        design.AddStitch(CAbsStitch{p, 0, CAbsStitch::Normal, false, true});
    design.AddStitch(CAbsStitch{PointI{100, -200}, 0, CAbsStitch::Trim, false, true});
    colour.colours[0] = GetTovenrikRGB(2);
    design.AddColourStitch(colour, PointI{500, 500}, false);
    design.AddStitch(CAbsStitch{PointI{500, 500}, 1, CAbsStitch::Normal, false, true});

    CStitches stitches(1);
    ASSERT_TRUE(stitches.ConvertFromAbsolute(design, true));
    EXPECT_EQ(stitches.GetNumberColours(), 2);
    EXPECT_EQ(stitches.GetActualColourCount(), 1);
    EXPECT_EQ(stitches.GetStitch(stitches.GetCount() - 1)->flags, STITCH_END);

    // Under the colour rules every loaded design gets, both are the same.
    CSimpleDesign back;
    stitches.ConvertToAbsolute(back, PointI{0, 0}, true, false);
    SF::ConvertStitchesForColourRules(back, SF::NewColourRules);
    SF::ConvertStitchesForColourRules(design, SF::NewColourRules);
    auto const original = StitchesOf(design);
    auto const copy = StitchesOf(back);
    ASSERT_EQ(copy.size(), original.size());
    for (std::size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i].type, original[i].type) << i;
        EXPECT_EQ(copy[i].position, original[i].position) << i;
    }
}

TEST(Stitches, ConvertFromAbsoluteKeepsTheEndOfVeryLongMoves)
{
    // The rounded unit step drifts over a long move; what it leaves over must
    // not wrap around in the last record.
    for (PointI const end : {PointI{2270, 210}, PointI{-2270, -210}, PointI{32000, -31000}}) {
        CSimpleDesign design;
        design.AddColourStitch(Brodix::ColourData::Default(), PointI{0, 0}, false);
        design.AddStitch(CAbsStitch{end, 0, CAbsStitch::Normal, false, true});

        CStitches stitches(1);
        ASSERT_TRUE(stitches.ConvertFromAbsolute(design, true));
        CSimpleDesign back;
        stitches.ConvertToAbsolute(back, PointI{0, 0}, true, false);
        auto const copy = StitchesOf(back);
        ASSERT_FALSE(copy.empty());
        EXPECT_EQ(copy.back().type, CAbsStitch::Normal);
        EXPECT_EQ(copy.back().position, end) << end.x << "," << end.y;
    }
}

} // namespace
