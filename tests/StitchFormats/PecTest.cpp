// Brother card data and the PEC reader: step codes, jumps and trims, colour
// changes, rotation, and the PEC files of the corpus.
#include "StitchFormats/Pec.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/Stitches.h"
#include "PesTestImages.h"
#include "StitchFormatsTesting.h"
#include <gtest/gtest.h>

using Brodix::IArchiverStream;
using Stream = Brodix::Archivers::MemoryStreamRW<IArchiverStream>;
using PesTestImages::Bytes;
using StitchFormatsTesting::CorpusFiles;
using StitchFormatsTesting::ReadFile;
using StitchFormatsTesting::Record;

namespace {

constexpr uint8_t N = STITCH_NORMAL;
constexpr uint8_t J = STITCH_JUMP;
constexpr uint8_t T = STITCH_TRIM;
constexpr uint8_t C = STITCH_COLOUR;
constexpr uint8_t E = STITCH_END;

std::vector<Record> Records(CStitchBuildingArray const& array)
{
    std::vector<Record> out;
    for (int i = 0; i < array.GetCount(); ++i)
        out.push_back({array[i].flags, array[i].dx, array[i].dy});
    return out;
}

struct DecodeCase {
    char const* name;
    Bytes codes;
    bool rotated;
    bool standalone;
    int status;
    std::vector<Record> records;
};

DecodeCase const kDecodeCases[] = {
    {"short steps", {0x05, 0x7E, 0xFF}, false, false, 0, {{N, 5, 2}}},
    {"short steps rotated", {0x05, 0x7E, 0xFF}, true, false, 0, {{N, -2, 5}}},
    {"long stitch split", {0x81, 0x00, 0x0F, 0xFF}, false, false, 0,
     {{J, 80, -5}, {J, 80, -5}, {J, 80, -5}, {N, 16, 0}}},
    {"trimmed jump in a PES block", {0x9F, 0xFF, 0xA0, 0x10, 0xFF}, false, false, 0, {{T, 0, 0}, {J, -1, -16}}},
    {"first move of a PEC file dropped", {0x9F, 0xFF, 0xA0, 0x10, 0xFF}, false, true, 0, {{E, 0, 0}}},
    {"first jump of a PES block kept", {0x90, 0x10, 0x90, 0x00, 0xFF}, false, false, 0, {{J, 16, 0}}},
    {"trim inside trimmed jumps adds none", {0x90, 0x00, 0xA0, 0x05, 0x90, 0x01, 0xA0, 0x02, 0xFF}, false, false, 0,
     {{T, 0, 0}, {J, 0, -5}, {J, 1, -2}}},
    {"trim right after a trim adds one", {0x90, 0x00, 0xA0, 0x00, 0x90, 0x00, 0xA0, 0x00, 0xFF}, false, false, 0,
     {{T, 0, 0}, {T, 0, 0}}},
    {"untrimmed jump after a trim", {0x01, 0x01, 0x90, 0x00, 0xA0, 0x05, 0x90, 0x03, 0x90, 0x00, 0xFF}, false,
     false, 0, {{N, 1, -1}, {T, 0, 0}, {J, 0, -5}, {J, 3, 0}}},
    {"colour change only after the first record",
     {0xFE, 0xB0, 0x01, 0x05, 0x05, 0xFE, 0xB0, 0x02, 0x01, 0x01, 0xFF}, false, true, 0,
     {{N, 5, -5}, {C, 0, 0}, {N, 1, -1}, {E, 0, 0}}},
    {"E0 skips its byte", {0xE0, 0xFF, 0x01, 0x01, 0xFF}, false, false, 0, {{N, 1, -1}}},
    {"negative long steps", {0x8F, 0xFF, 0x8F, 0xC0, 0xFF}, false, false, 0, {{N, -1, 64}}},
    {"end of data without end code", {0x01, 0x01, 0x02}, false, true, 0, {{N, 1, -1}}},
    {"undefined code", {0x01, 0x01, 0xC0, 0x01, 0x01}, false, false, 5, {{N, 1, -1}}},
    {"code where the y step belongs", {0x01, 0xFF}, false, false, 5, {}},
    {"jump x with a short y", {0x90, 0x05, 0x03, 0x01, 0x01, 0xFF}, false, false, 0, {{J, 5, -3}, {N, 1, -1}}},
    {"short x with a trim y", {0x01, 0x01, 0x05, 0xA0, 0x03, 0xFF}, false, false, 0,
     {{N, 1, -1}, {T, 0, 0}, {J, 5, -3}}},
    {"PEC file without a step", {0xFE, 0xB0, 0x01, 0xFF}, false, true, 4, {{E, 0, 0}}},
    {"empty PES block", {0xFF}, false, false, 0, {}},
};

TEST(CardData, DecodesStepsMovesAndCodes)
{
    for (DecodeCase const& c : kDecodeCases) {
        SCOPED_TRACE(c.name);
        Stream stream(PesTestImages::Section(c.codes));
        CStitchBuildingArray array;
        auto const [status, count] = ReadCardData(stream, &array, c.rotated, nullptr, c.standalone);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(count, array.GetCount());
        EXPECT_EQ(Records(array), c.records);
    }
}

TEST(CardData, LeavesTheStreamAfterTheLastByteDecoded)
{
    // A PES block's thumbnails are found from where the decoder stops.
    struct Case {
        char const* name;
        Bytes codes;
        std::size_t unread;   // bytes of the section not decoded
    };
    Case const cases[] = {
        {"after the end code", {0x01, 0x01, 0xFF, 0x12, 0x34}, 2},
        {"at the end of a cut long step", {0x01, 0x01, 0x81}, 0},
        {"after a refused code", {0x01, 0x01, 0xC0, 0x01, 0x01}, 2},
    };
    Bytes const before = {0xAA, 0xAA, 0xAA};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = before;
        Bytes const section = PesTestImages::Section(c.codes);
        image.insert(image.end(), section.begin(), section.end());
        Stream stream(image);
        stream.SetPos(before.size());
        CStitchBuildingArray array;
        (void)ReadCardData(stream, &array, false, nullptr, false);
        EXPECT_EQ(stream.GetPos(), image.size() - c.unread);
    }
}

TEST(CardData, LongRunOfTrimmedJumpsDecodesInLinearTime)
{
    // Every jump asks for a trim; only the first adds one. Looking back over the
    // whole run for each request took minutes here, which the test timeout
    // turns into a failure; a linear decoder needs milliseconds.
    constexpr int kJumps = 300000;
    Bytes codes;
    for (int i = 0; i < kJumps; ++i)
        codes.insert(codes.end(), {0x90, 0x01, 0xA0, 0x00});
    codes.push_back(0xFF);
    Stream stream(PesTestImages::Section(codes));
    CStitchBuildingArray array;
    auto const [status, count] = ReadCardData(stream, &array, false, nullptr, false);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(count, kJumps + 1);
    EXPECT_EQ(Records(array).front(), (Record{T, 0, 0}));
    EXPECT_EQ(Records(array).back(), (Record{J, 1, 0}));
}

TEST(CardData, SectionHeaderGivesTheExtents)
{
    struct Case {
        Bytes section;
        bool rotated;
        int status;
        int maskX;
        int maskY;
    };
    Case const cases[] = {
        {{0x05, 0x00, '1', 0x00, 0x20, 0x10, 0xFF}, false, 0, 320, 160},    // millimetres, one byte each
        {{0x05, 0x00, '1', 0x00, 0x20, 0x10, 0xFF}, true, 0, 160, 320},
        {{0x00, 0x00, 0x10, 0x00, 0x00, '1', 0xFF, 0xF0, 0xD2, 0x04, 0x37, 0x02, 0xFF}, false, 0, 1234, 567},
        {{0x05, 0x00, '2', 0xFF, 0x20, 0x10, 0xFF}, false, 5, 0, 0},           // wrong signature
        {{}, false, 5, 0, 0},                                                  // nothing at all
    };
    for (Case const& c : cases) {
        Stream stream(c.section);
        CStitchBuildingArray array;
        EXPECT_EQ(ReadCardData(stream, &array, c.rotated, nullptr, false).first, c.status);
        EXPECT_EQ(array.GetMaskX(), c.maskX);
        EXPECT_EQ(array.GetMaskY(), c.maskY);
    }
}

TEST(CardData, SignExtension)
{
    struct Case {
        unsigned char bytes[2];
        int seven;
        int twelve;
    };
    Case const cases[] = {{{0x3F, 0x00}, 63, -256}, {{0x40, 0xFF}, -64, 255},
                          {{0x87, 0xFF}, 7, 2047}, {{0x88, 0x00}, 8, -2048}, {{0x7F, 0x01}, -1, -255}};
    for (Case c : cases) {
        EXPECT_EQ(GetSignedSeven(c.bytes), c.seven) << int(c.bytes[0]);
        EXPECT_EQ(GetSignedTwelve(c.bytes), c.twelve) << int(c.bytes[0]);
    }
}

struct PecCase {
    char const* name;
    Bytes file;
    int status;
    int colours;
};

TEST(PecReader, ColourCountMustMatchTheColourChanges)
{
    Bytes const twoChanges = {0x01, 0x01, 0xFE, 0xB0, 0x01, 0x02, 0x02, 0xFE, 0xB0, 0x02, 0x03, 0x03, 0xFF};
    Bytes wrongMagic = PesTestImages::EncodePec({1}, {0x01, 0x01, 0xFF});
    wrongMagic[3] = 'S';
    Bytes marker = PesTestImages::EncodePec({1}, {0x01, 0x01, 0xFF});
    Bytes tooShort = PesTestImages::EncodePec({1}, {0x01, 0x01, 0xFF});
    tooShort.resize(300);
    std::memcpy(marker.data() + 100, "SColourStitch", 13);
    // Stitches of +2047 and -2048 units along x, each split into 26 records:
    // 5.2 million records, more than the limit.
    Bytes overLimit;
    for (int i = 0; i < 100'000; ++i)
        overLimit.insert(overLimit.end(), {0x87, 0xFF, 0x00, 0x88, 0x00, 0x00});
    overLimit.push_back(0xFF);
    PecCase const cases[] = {
        {"three colours, two changes", PesTestImages::EncodePec({1, 5, 0}, twoChanges), 0, 3},
        {"two colours, two changes", PesTestImages::EncodePec({1, 5}, twoChanges), 5, 2},
        {"wrong magic", wrongMagic, 4, 0},
        {"marker text", marker, 5, 0},
        {"no stitch", PesTestImages::EncodePec({1}, {0xFF}), 4, 0},
        {"ends before the stitch section", tooShort, 5, 0},
        {"more records than the limit", PesTestImages::EncodePec({1}, overLimit), 4, 0},
    };
    for (PecCase const& c : cases) {
        SCOPED_TRACE(c.name);
        Stream stream(c.file);
        CStitches stitches(0);
        EXPECT_EQ(stitches.Load(stream, Brodix::StitchFormats::FormatPEC, nullptr, nullptr, nullptr, nullptr),
                  c.status);
        if (c.status == 0) {
            EXPECT_EQ(stitches.GetNumberColours(), c.colours);
        }
    }
}

TEST(PecReader, ColoursComeFromTheBrotherPalette)
{
    Bytes const codes = {0x01, 0x01, 0xFE, 0xB0, 0x01, 0x02, 0x02, 0xFE, 0xB0, 0x02, 0x03, 0x03, 0xFF};
    Stream stream(PesTestImages::EncodePec({1, 65, 0}, codes));
    CStitches stitches(0);
    ASSERT_EQ(stitches.BrotherPECLoad(stream), 0);
    ASSERT_EQ(stitches.GetNumberColours(), 3);
    EXPECT_EQ(stitches.GetColour(0), GetBrotherRGB(0));
    EXPECT_EQ(stitches.GetColour(1), GetBrotherRGB(64));
    EXPECT_EQ(stitches.GetColour(2), 0u);   // index 0 is black
    EXPECT_EQ(stitches.GetManufacturer(1), 1);
    EXPECT_EQ(stitches.GetCount(), 6);      // three stitches, two colour changes, the end
    EXPECT_EQ(stitches.GetMaxX(), 6);
    EXPECT_EQ(stitches.GetMinY(), -6);
}

// A file that opens with a long jump and then a trimmed move starts its
// colour where the needle first goes down, not where the moves began.
TEST(PecReader, FirstColourStartsOnTheFirstStitch)
{
    Bytes const codes = {0x91, 0x2C, 0x90, 0x00,   // jump (300, 0)
                         0x90, 0x14, 0xA0, 0x0A,   // trim, then jump (20, 10)
                         0x05, 0x05, 0x03, 0x00, 0xFF};
    Stream stream(PesTestImages::EncodePec({1}, codes));
    Brodix::CSimpleDesign design;
    namespace SF = Brodix::StitchFormats;
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatPEC, nullptr, nullptr, nullptr, nullptr), 0);
    auto const stitches = StitchFormatsTesting::StitchesOf(design);
    ASSERT_EQ(stitches.size(), 2u);
    EXPECT_EQ(stitches[0].type, Brodix::CAbsStitch::ColourChange);
    EXPECT_EQ(stitches[0].position, (Brodix::CommonTypes::PointI{25, 15}));
    EXPECT_EQ(stitches[1].type, Brodix::CAbsStitch::Normal);
    EXPECT_EQ(stitches[1].position, (Brodix::CommonTypes::PointI{28, 15}));
}

TEST(PecReader, CorpusFilesLoad)
{
    auto const files = CorpusFiles("pec");
    if (files.empty())
        GTEST_SKIP() << "no corpus";
    for (auto const& path : files) {
        SCOPED_TRACE(path.string());
        Stream stream(ReadFile(path));
        CStitches stitches(0);
        int const status = stitches.Load(stream, Brodix::StitchFormats::FormatPEC, nullptr, nullptr, nullptr, nullptr);
        // One file of the corpus is a PES file under a .pec name.
        if (path.filename() == "PEmbroider_shape_hatching_1.pec") {
            EXPECT_EQ(status, 4);
            continue;
        }
        ASSERT_EQ(status, 0);
        EXPECT_GT(stitches.GetCount(), 1);
        EXPECT_GT(stitches.GetDesignWidth(), 0);
        EXPECT_GT(stitches.GetDesignHeight(), 0);
        EXPECT_LE(stitches.GetDesignWidth(), 4000);
        EXPECT_LE(stitches.GetDesignHeight(), 4000);
    }
}

} // namespace
