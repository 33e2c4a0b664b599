// JEF and SEW readers: the shared 2-byte stitch stream, colour codes, the
// leading-jump move, refusals, and every sample file.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormatsTesting.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Brodix::IArchiverStream;
using Brodix::Archivers::MemoryStreamRW;
using Bytes = std::vector<uint8_t>;
namespace SF = Brodix::StitchFormats;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;

namespace {

constexpr uint8_t N = STITCH_NORMAL, J = STITCH_JUMP, C = STITCH_COLOUR;

std::vector<unsigned> Colours(CStitches const& stitches)
{
    std::vector<unsigned> out;
    for (int i = 0; i < stitches.GetNumberColours(); ++i)
        out.push_back(stitches.GetColour(i));
    return out;
}

unsigned Janome(int code) { return GetExtendedSewRGB(code - 1); }

void PutLE(Bytes& b, std::size_t at, uint32_t value, int size)
{
    if (b.size() < at + size)
        b.resize(at + size);
    for (int i = 0; i < size; ++i)
        b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A JEF file laid out as Janome software writes it: a 116-byte header, the
// codes, a second list, then the stitch data.
Bytes MakeJef(std::vector<int> const& codes, Bytes const& data)
{
    int const n = static_cast<int>(codes.size());
    uint32_t const start = 116 + 8 * n;
    Bytes file(start, 0);
    PutLE(file, 0, start, 4);
    PutLE(file, 24, n, 4);
    for (int i = 0; i < n; ++i)
        PutLE(file, 116 + 4 * i, static_cast<uint32_t>(codes[i]), 4);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

constexpr std::size_t kSewDataStart = 7544;

Bytes MakeSew(int count, std::vector<int> const& codes, Bytes const& data)
{
    Bytes file(kSewDataStart, 0);
    PutLE(file, 0, count, 2);
    for (std::size_t i = 0; i < codes.size(); ++i)
        PutLE(file, 2 + 2 * i, codes[i], 2);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

int Load(CStitches& stitches, Bytes const& file, SF::Format format)
{
    MemoryStreamRW<IArchiverStream> stream(file.data(), file.size());
    return stitches.Load(stream, format, nullptr, nullptr, nullptr, nullptr);
}

struct StreamCase {
    char const* name;
    Bytes data;
    std::vector<Record> records;
    std::vector<int> colourCodes;   // the Janome codes the colours come from
};

// Codes 10, 20, 30, 40 declared; the cases show which code each colour takes.
std::vector<StreamCase> const kStreamCases = {
    {"stitches are signed byte pairs", {0x01, 0x02, 0xFF, 0xFE}, {{N, 1, 2}, {N, -1, -2}}, {10}},
    {"leading jumps become one move", {0x80, 0x02, 10, 0, 0x80, 0x02, 10, 0, 0x80, 0x02, 10, 0, 0x01, 0x01},
     {{J, 30, 0}, {N, 1, 1}}, {10}},
    {"jump inside the data", {0x01, 0x01, 0x80, 0x02, 0x05, 0xFB, 0x01, 0x01}, {{N, 1, 1}, {J, 5, -5}, {N, 1, 1}}, {10}},
    {"colour change", {0x01, 0x01, 0x80, 0x01, 0x02, 0x02}, {{N, 1, 1}, {C, 0, 0}, {N, 2, 2}}, {10, 20}},
    {"two changes in a row start one colour but consume two codes",
     {0x01, 0x01, 0x80, 0x01, 0x80, 0x01, 0x02, 0x02, 0x80, 0x01, 0x03, 0x03},
     {{N, 1, 1}, {C, 0, 0}, {N, 2, 2}, {C, 0, 0}, {N, 3, 3}}, {10, 20, 40}},
    {"change before any record starts no colour but consumes a code",
     {0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x02, 0x02}, {{N, 1, 1}, {C, 0, 0}, {N, 2, 2}}, {10, 30}},
    {"changes past the declared codes reuse the last",
     {0x01, 0x01, 0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x01, 0x01},
     {{N, 1, 1}, {C, 0, 0}, {N, 1, 1}, {C, 0, 0}, {N, 1, 1}, {C, 0, 0}, {N, 1, 1}, {C, 0, 0}, {N, 1, 1}},
     {10, 20, 30, 40, 40}},
    {"end of design stops", {0x01, 0x01, 0x80, 0x10, 0x02, 0x02}, {{N, 1, 1}}, {10}},
    {"other escapes are ignored", {0x01, 0x01, 0x80, 0x05, 0x02, 0x02}, {{N, 1, 1}, {N, 2, 2}}, {10}},
    {"truncated jump ends the design", {0x01, 0x01, 0x80, 0x02, 0x05}, {{N, 1, 1}}, {10}},
    {"odd trailing byte is dropped", {0x01, 0x01, 0x07}, {{N, 1, 1}}, {10}},
};

TEST(JefReader, DecodesTheStitchStream)
{
    for (auto const& c : kStreamCases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(3);
        ASSERT_EQ(Load(stitches, MakeJef({10, 20, 30, 40}, c.data), SF::FormatJEF), 0);
        EXPECT_EQ(Records(stitches), c.records);
        std::vector<unsigned> expected;
        for (int code : c.colourCodes)
            expected.push_back(Janome(code));
        EXPECT_EQ(Colours(stitches), expected);
        for (int i = 0; i < stitches.GetNumberColours(); ++i)
            EXPECT_EQ(stitches.GetManufacturer(i), 3);
    }
}

TEST(JefReader, ColourCodeZeroIsBlack)
{
    CStitches stitches(0);
    ASSERT_EQ(Load(stitches, MakeJef({0}, {0x01, 0x01}), SF::FormatJEF), 0);
    EXPECT_EQ(Colours(stitches), std::vector<unsigned>{0u});
}

TEST(JefReader, LongLeadingMoveIsNotCutShortByTheStorageEstimate)
{
    // 100 jumps of (127, 127) take 400 bytes but need 225 records of at most 80 units.
    Bytes data;
    for (int i = 0; i < 100; ++i)
        data.insert(data.end(), {0x80, 0x02, 127, 127});
    data.insert(data.end(), {0x01, 0x01});
    CStitches stitches(0);
    ASSERT_EQ(Load(stitches, MakeJef({10}, data), SF::FormatJEF), 0);
    std::vector<Record> const records = Records(stitches);
    ASSERT_GE(records.size(), 2u);
    int x = 0, y = 0;
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        EXPECT_EQ(records[i].flags, J);
        x += records[i].dx;
        y += records[i].dy;
    }
    EXPECT_EQ(x, 12700);
    EXPECT_EQ(y, 12700);
    EXPECT_EQ(records.back(), (Record{N, 1, 1}));
    EXPECT_LE(stitches.GetCount(), stitches.GetCapacity());
}

TEST(JefReader, RefusesBadLayoutsBeforeAllocating)
{
    struct Case {
        char const* name;
        Bytes file;
    };
    Bytes const good = MakeJef({10}, {0x01, 0x01});
    auto with = [&](std::size_t at, uint32_t value, int size) {
        Bytes b = good;
        PutLE(b, at, value, size);
        return b;
    };
    Bytes marker = good;
    std::string const text = "SColourStitch";
    marker.insert(marker.end(), text.begin(), text.end());
    std::vector<Case> const cases = {
        {"no colours", with(24, 0, 4)},
        {"negative colour count", with(24, 0xFFFF, 2)},
        {"stitch data past the end", with(0, static_cast<uint32_t>(good.size() + 1), 2)},
        {"negative stitch data offset", with(0, 0x8000, 2)},
        {"colour list before the file start", with(24, 100, 2)},
        {"shorter than the header", Bytes(good.begin(), good.begin() + 25)},
        {"empty file", {}},
        {"marker text", marker},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        EXPECT_EQ(Load(stitches, c.file, SF::FormatJEF), 5);
        EXPECT_EQ(stitches.GetCapacity(), 0);
    }
}

TEST(JefReader, StitchDataEndingAtTheFileEndGivesAnEmptyDesign)
{
    CStitches stitches(0);
    ASSERT_EQ(Load(stitches, MakeJef({10, 20}, {}), SF::FormatJEF), 0);
    EXPECT_EQ(stitches.GetCount(), 0);
    EXPECT_EQ(Colours(stitches), std::vector<unsigned>{Janome(10)});
}

TEST(SewReader, DecodesAfterTheFixedFirstMove)
{
    struct Case {
        char const* name;
        int count;
        Bytes data;
        std::vector<Record> records;
        std::vector<int> colourCodes;
    };
    // Header codes 10, 20, 30; the first move runs from (0, 0) to the leading
    // jumps' sum plus (-174, 100) in jumps of at most 80 units.
    std::vector<Record> const move = {{J, -69, 40}, {J, -69, 40}, {J, -36, 20}};
    auto after = [&](std::vector<Record> rest) {
        std::vector<Record> all = move;
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    };
    std::vector<Case> const cases = {
        {"no leading jumps", 3, {0x01, 0x02}, after({{N, 1, 2}}), {10}},
        {"leading jumps shorten the move", 3, {0x80, 0x02, 10, 0, 0x80, 0x02, 10, 0, 0x80, 0x02, 10, 0, 0x01, 0x01},
         {{J, -66, 46}, {J, -66, 46}, {J, -12, 8}, {N, 1, 1}}, {10}},
        {"changes take the header codes in order", 3, {0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x01, 0x01},
         after({{C, 0, 0}, {N, 1, 1}, {C, 0, 0}, {N, 1, 1}}), {10, 20, 30}},
        {"two changes in a row start one colour", 3, {0x80, 0x01, 0x80, 0x01, 0x01, 0x01},
         after({{C, 0, 0}, {N, 1, 1}}), {10, 20}},
        // The header always holds twelve codes; the count does not cut them short.
        {"changes past the declared count take the next header codes", 2,
         {0x80, 0x01, 0x01, 0x01, 0x80, 0x01, 0x01, 0x01}, after({{C, 0, 0}, {N, 1, 1}, {C, 0, 0}, {N, 1, 1}}),
         {10, 20, 30}},
        {"twelve colours", 12, {0x01, 0x01}, after({{N, 1, 1}}), {10}},
        {"no stitch data", 1, {}, move, {10}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        ASSERT_EQ(Load(stitches, MakeSew(c.count, {10, 20, 30}, c.data), SF::FormatSEW), 0);
        EXPECT_EQ(Records(stitches), c.records);
        std::vector<unsigned> expected;
        for (int code : c.colourCodes)
            expected.push_back(Janome(code));
        EXPECT_EQ(Colours(stitches), expected);
    }
}

TEST(SewReader, ChangesPastTheTwelfthCodeReuseIt)
{
    std::vector<int> codes;
    for (int i = 1; i <= 12; ++i)
        codes.push_back(2 * i);
    Bytes data{0x01, 0x01};
    for (int i = 0; i < 13; ++i)
        data.insert(data.end(), {0x80, 0x01, 0x01, 0x01});
    CStitches stitches(0);
    ASSERT_EQ(Load(stitches, MakeSew(1, codes, data), SF::FormatSEW), 0);
    std::vector<unsigned> expected;
    for (int code : codes)
        expected.push_back(Janome(code));
    expected.push_back(Janome(24));
    expected.push_back(Janome(24));
    EXPECT_EQ(Colours(stitches), expected);
}

TEST(SewReader, RefusesBadLayoutsBeforeAllocating)
{
    Bytes const good = MakeSew(1, {10}, {0x01, 0x01});
    Bytes marker = good;
    std::string const text = "SColourStitch";
    std::copy(text.begin(), text.end(), marker.begin() + 100);
    struct Case {
        char const* name;
        Bytes file;
    };
    std::vector<Case> const cases = {
        {"no colours", MakeSew(0, {}, {0x01, 0x01})},
        {"thirteen colours", MakeSew(13, {}, {0x01, 0x01})},
        {"ends before the stitch data", Bytes(good.begin(), good.begin() + kSewDataStart - 1)},
        {"shorter than the colour header", Bytes(good.begin(), good.begin() + 20)},
        {"marker text", marker},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        CStitches stitches(0);
        EXPECT_EQ(Load(stitches, c.file, SF::FormatSEW), 5);
        EXPECT_EQ(stitches.GetCapacity(), 0);
    }
}

// Every sample loads, with one colour per declared thread.
TEST(JanomeCorpus, EverySampleLoads)
{
    struct Folder {
        char const* path;
        SF::Format format;
    };
    int loaded = 0;
    for (Folder folder : {Folder{"../shared/corpus/jef", SF::FormatJEF}, Folder{"../shared/corpus/sew", SF::FormatSEW}}) {
        for (auto const& entry : std::filesystem::directory_iterator(folder.path)) {
            std::string const name = entry.path().filename().string();
            SCOPED_TRACE(name);
            Bytes const file = StitchFormatsTesting::ReadFile(entry.path());
            CStitches stitches(0);
            int const status = Load(stitches, file, folder.format);
            int const declared = folder.format == SF::FormatJEF ? int16_t(file[24] | file[25] << 8) : file[0];
            if (declared < 1) {
                // SyntheticLarge.jef declares no colours at all.
                EXPECT_EQ(status, 5);
                continue;
            }
            ASSERT_EQ(status, 0);
            EXPECT_GT(stitches.GetCount(), 0);
            EXPECT_EQ(stitches.GetNumberColours(), declared);
            ++loaded;
        }
    }
    EXPECT_EQ(loaded, 27);
}

} // namespace
