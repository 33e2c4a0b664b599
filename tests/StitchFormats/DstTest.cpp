#include "Fundamentals/FileStream.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/Stitches.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::CSimpleDesign;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;
namespace SF = Brodix::StitchFormats;

// Encodes a step the way Tajima machines do, as balanced ternary digits
// spread over the bits of three bytes (independent of the reader's tables).
struct DstRecord {
    char kind;   // N stitch, J jump, C colour change, E end
    int x = 0, y = 0;
};

void SetDigit(unsigned char* bytes, int digit, int byte, int plusBit, int minusBit)
{
    if (digit == 1)
        bytes[byte] |= 1 << plusBit;
    else if (digit == -1)
        bytes[byte] |= 1 << minusBit;
}

std::vector<int> Ternary(int v)
{
    std::vector<int> digits;
    for (int i = 0; i < 5; ++i) {
        int d = ((v % 3) + 3) % 3;
        if (d == 2)
            d = -1;
        digits.push_back(d);
        v = (v - d) / 3;
    }
    return digits;
}

void Append(std::vector<unsigned char>& file, DstRecord const& r)
{
    unsigned char b[3] = {0, 0, 0x03};
    switch (r.kind) {
    case 'J': b[2] = 0x83; break;
    case 'C': b[2] = 0xC3; break;
    case 'E': b[2] = 0xF3; break;
    default: break;
    }
    // weight:             1        3        9        27       81
    int const byteOf[5] = {0, 1, 0, 1, 2};
    int const xBits[5][2] = {{0, 1}, {0, 1}, {2, 3}, {2, 3}, {2, 3}};
    int const yBits[5][2] = {{7, 6}, {7, 6}, {5, 4}, {5, 4}, {5, 4}};
    auto const xs = Ternary(r.x), ys = Ternary(r.y);
    for (int i = 0; i < 5; ++i) {
        SetDigit(b, xs[i], byteOf[i], xBits[i][0], xBits[i][1]);
        SetDigit(b, ys[i], byteOf[i], yBits[i][0], yBits[i][1]);
    }
    file.insert(file.end(), b, b + 3);
}

std::vector<unsigned char> MakeDst(std::vector<DstRecord> const& records)
{
    std::vector<unsigned char> file(512, ' ');
    for (DstRecord const& r : records)
        Append(file, r);
    return file;
}

std::string Show(CStitches& stitches)
{
    std::string out;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const s = *stitches.GetStitch(i);
        switch (s.flags) {
        case STITCH_NORMAL: out += "N"; break;
        case STITCH_JUMP: out += "J"; break;
        case STITCH_COLOUR: out += "C"; break;
        case STITCH_TRIM: out += "T"; break;
        case STITCH_END: out += "E"; break;
        default: out += "?"; break;
        }
        if (s.flags == STITCH_NORMAL || s.flags == STITCH_JUMP)
            out += "(" + std::to_string(s.dx) + "," + std::to_string(s.dy) + ")";
        out += " ";
    }
    return out;
}

TEST(Dst, EveryStepDecodesToItsValue)
{
    std::vector<DstRecord> records;
    for (int x = -121; x <= 121; ++x)
        for (int y = -121; y <= 121; y += 11)
            if (x != 0 || y != 0)
                records.push_back({'N', x, y});
    MemoryStream stream(MakeDst(records));
    CStitches stitches(0);
    ASSERT_EQ(stitches.TajimaLoad(stream), 0);
    ASSERT_EQ(stitches.GetCount(), static_cast<int>(records.size()) + 1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        CStitch const s = *stitches.GetStitch(static_cast<int>(i));
        ASSERT_EQ(s.flags, STITCH_NORMAL);
        ASSERT_EQ(s.dx, records[i].x) << i;
        ASSERT_EQ(s.dy, records[i].y) << i;
    }
}

TEST(Dst, RecordsBecomeStitchesTrimsAndColours)
{
    struct Case {
        char const* what;
        std::vector<DstRecord> in;
        char const* records;
        int colours;
    } const cases[] = {
        {"header only", {}, "E ", 1},
        {"a zero jump is dropped, a zero stitch kept", {{'N', 1, 0}, {'N', 0, 0}, {'J', 0, 0}, {'N', 1, 2}},
         "N(1,0) N(0,0) N(1,2) E ", 1},
        {"zero stitches before the first move are dropped",
         {{'N', 0, 0}, {'C'}, {'N', 0, 0}, {'J', 0, 0}, {'N', 0, 0}, {'J', 5, 0}, {'N', 0, 0}, {'N', 1, 0}},
         "C J(5,0) N(0,0) N(1,0) E ", 2},
        {"stitch in place where jumps land",
         {{'N', 1, 0}, {'J', 90, 0}, {'J', 90, 0}, {'J', 90, 0}, {'J', 0, 0}, {'N', 0, 0}, {'N', 1, 0}},
         "N(1,0) T J(90,0) J(90,0) J(90,0) N(0,0) N(1,0) E ", 1},
        {"colour change first", {{'C'}, {'N', 1, 0}}, "C N(1,0) E ", 2},
        {"doubled colour change", {{'N', 1, 0}, {'N', 1, 0}, {'C'}, {'C'}, {'N', 2, 0}}, "N(1,0) N(1,0) C N(2,0) E ",
         2},
        {"colour change as second record", {{'N', 1, 0}, {'C'}, {'N', 1, 0}}, "N(1,0) N(1,0) E ", 1},
        {"three jumps after a stitch trim", {{'N', 1, 0}, {'J', 90, 0}, {'J', 90, 0}, {'J', 90, 0}, {'N', 1, 0}},
         "N(1,0) T J(90,0) J(90,0) J(90,0) N(1,0) E ", 1},
        {"two jumps do not", {{'N', 1, 0}, {'J', 90, 0}, {'J', 90, 0}, {'N', 1, 0}}, "N(1,0) J(90,0) J(90,0) N(1,0) E ",
         1},
        {"jumps at the start do not", {{'J', 9, 0}, {'J', 9, 0}, {'J', 9, 0}, {'N', 1, 0}},
         "J(9,0) J(9,0) J(9,0) N(1,0) E ", 1},
        {"jumps after a colour change do not",
         {{'N', 1, 0}, {'N', 1, 0}, {'C'}, {'J', 9, 0}, {'J', 9, 0}, {'J', 9, 0}, {'N', 1, 0}},
         "N(1,0) N(1,0) C J(9,0) J(9,0) J(9,0) N(1,0) E ", 2},
        {"end record ends the design", {{'N', 1, 0}, {'E'}, {'N', 2, 0}}, "N(1,0) E ", 1},
    };
    for (Case const& c : cases) {
        MemoryStream stream(MakeDst(c.in));
        CStitches stitches(0);
        EXPECT_EQ(stitches.Load(stream, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0) << c.what;
        EXPECT_EQ(Show(stitches), c.records) << c.what;
        EXPECT_EQ(stitches.GetNumberColours(), c.colours) << c.what;
        EXPECT_EQ(stitches.GetColour(0), GetTovenrikRGB(1)) << c.what;
    }
}

TEST(Dst, ATruncatedTailEndsTheRecords)
{
    auto file = MakeDst({{'N', 1, 0}, {'N', 2, 0}});
    file.pop_back();
    MemoryStream stream(file);
    CStitches stitches(0);
    EXPECT_EQ(stitches.TajimaLoad(stream), 0);
    EXPECT_EQ(Show(stitches), "N(1,0) E ");
}

TEST(Dst, ColoursCycleThroughTheTovenrikPalette)
{
    std::vector<DstRecord> records{{'N', 1, 0}};
    for (int i = 0; i < 30; ++i) {
        records.push_back({'N', 1, 0});
        records.push_back({'C'});
    }
    MemoryStream stream(MakeDst(records));
    CStitches stitches(5);
    ASSERT_EQ(stitches.Load(stream, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(stitches.GetNumberColours(), 31);
    struct {
        int colour, paletteEntry;
    } const expected[] = {{0, 1}, {1, 2}, {27, 28}, {28, 1}, {29, 2}, {30, 3}};
    for (auto const& e : expected)
        EXPECT_EQ(stitches.GetColour(e.colour), GetTovenrikRGB(e.paletteEntry)) << e.colour;
    EXPECT_EQ(stitches.GetManufacturer(30), 5);
}

TEST(Dst, RefusedData)
{
    std::vector<DstRecord> manyColours{{'N', 1, 0}};
    for (int i = 0; i < 99; ++i) {
        manyColours.push_back({'N', 1, 0});
        manyColours.push_back({'C'});
    }
    auto marked = MakeDst({{'N', 1, 0}});
    std::string const marker = "SColourStitch";
    std::copy(marker.begin(), marker.end(), marked.begin() + 3);

    struct Case {
        char const* what;
        std::vector<unsigned char> file;
    } const cases[] = {
        {"marker text in the header", marked},
        {"more colours than the reader counts", MakeDst(manyColours)},
    };
    for (Case const& c : cases) {
        MemoryStream stream(c.file);
        CStitches stitches(0);
        EXPECT_EQ(stitches.Load(stream, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 5) << c.what;
    }
}

TEST(Dst, LoadedDesignStartsWithAColourChangeOnTheFirstNeedlePosition)
{
    MemoryStream stream(MakeDst({{'J', 50, 50}, {'N', 10, 0}, {'N', 10, 0}, {'J', 90, 0}, {'J', 90, 0}, {'J', 90, 0},
                                 {'N', 1, 1}}));
    CSimpleDesign design;
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    std::vector<CAbsStitch> got;
    auto reader = Brodix::HoldIterator(static_cast<IDesign const&>(design).GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        got.push_back(reader->GetCurrentItem());
    struct {
        uint8_t type;
        int x, y;
    } const expected[] = {{CAbsStitch::ColourChange, 60, -50},
                          {CAbsStitch::Normal, 70, -50},
                          {CAbsStitch::Trim, 70, -50},
                          {CAbsStitch::Normal, 341, -51}};
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].type, expected[i].type) << i;
        EXPECT_EQ(got[i].position.x, expected[i].x) << i;
        EXPECT_EQ(got[i].position.y, expected[i].y) << i;
    }
    EXPECT_EQ(design.GetColourCount(), 1u);
}

// Decodes a step from the bit layout the encoder above uses.
std::pair<int, int> DecodeStep(unsigned char const* b)
{
    int const weights[5] = {1, 3, 9, 27, 81};
    int const byteOf[5] = {0, 1, 0, 1, 2};
    int const xBits[5][2] = {{0, 1}, {0, 1}, {2, 3}, {2, 3}, {2, 3}};
    int const yBits[5][2] = {{7, 6}, {7, 6}, {5, 4}, {5, 4}, {5, 4}};
    int x = 0, y = 0;
    for (int i = 0; i < 5; ++i) {
        unsigned char const byte = b[byteOf[i]];
        x += weights[i] * (((byte >> xBits[i][0]) & 1) - ((byte >> xBits[i][1]) & 1));
        y += weights[i] * (((byte >> yBits[i][0]) & 1) - ((byte >> yBits[i][1]) & 1));
    }
    return {x, y};
}

// After the first colour change, this file jumps away and lands with a stitch
// in place (00 00 03 at offset 4163): the new colour starts on that point, not
// on the stitch after it.
TEST(Dst, ColourStartsOnTheStitchWhereJumpsLand)
{
    std::ifstream in("../shared/corpus/dst/QFL04001.DST", std::ios::binary);
    std::vector<unsigned char> const file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t const landing = 4163;
    ASSERT_GT(file.size(), landing + 3);
    ASSERT_EQ(file[landing] | file[landing + 1] << 8 | file[landing + 2] << 16, 0x030000);
    int x = 0, y = 0;
    int colourChanges = 0;
    for (std::size_t at = 512; at <= landing; at += 3) {
        if ((file[at + 2] & 0xC0) == 0xC0) {
            ++colourChanges;
            continue;
        }
        auto const [dx, dy] = DecodeStep(&file[at]);
        x += dx;
        y += dy;
    }
    ASSERT_EQ(colourChanges, 1);

    MemoryStream stream(file);
    CSimpleDesign design;
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    auto reader = Brodix::HoldIterator(static_cast<IDesign const&>(design).GetStitchReader());
    int seen = 0;
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const s = reader->GetCurrentItem();
        if (s.type == CAbsStitch::ColourChange && ++seen == 2) {
            EXPECT_EQ(s.position.x, x);
            EXPECT_EQ(s.position.y, -y);
            return;
        }
    }
    ADD_FAILURE() << "no second colour";
}

TEST(Dst, EveryCorpusFileLoads)
{
    int files = 0;
    for (auto const& entry : std::filesystem::directory_iterator("../shared/corpus/dst")) {
        ++files;
        std::FILE* file = std::fopen(entry.path().c_str(), "rb");
        ASSERT_NE(file, nullptr) << entry.path();
        Brodix::Archivers::FileStreamRW<Brodix::IArchiverStream> stream(file, true);
        CSimpleDesign design;
        ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0) << entry.path();
        EXPECT_GT(design.GetStitchCount(), 0u) << entry.path();
        EXPECT_GE(design.GetColourCount(), 1u) << entry.path();
    }
    EXPECT_GT(files, 0);
}

} // namespace
