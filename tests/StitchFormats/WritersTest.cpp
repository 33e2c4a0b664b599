// The machine-format writers byte by byte: headers, record encodings, long
// steps, colour changes, trims, stops and the end record of small containers,
// with the expected bytes worked out by hand from each format's layout; the
// refusals of what a format cannot hold, which leave the output untouched;
// and the save entry that takes a common design to them.
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatTypeTable.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StitchFormatsTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
namespace SF = Brodix::StitchFormats;
using CommonTypes::PointI;
using MemoryStream = Archivers::MemoryStreamRW<IArchiverStream>;
using Bytes = std::vector<uint8_t>;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;

using StitchFormatsTesting::MemoryRetriever;

class NoOutput : public SF::IArchiverRetriever {
public:
    IArchiverStream* GetArchiver() override { return &stream; }
    bool IsArchiverValid() override { return false; }
    MemoryStream stream;
};

// A disk that fills up: takes nothing.
class FullStream : public MemoryStream {
public:
    unsigned long Write(void const*, unsigned long) override { return 0; }
};

class FullDisk : public SF::IArchiverRetriever {
public:
    IArchiverStream* GetArchiver() override { return &stream; }
    bool IsArchiverValid() override { return true; }
    FullStream stream;
};

constexpr CStitch N(int dx, int dy) { return {STITCH_NORMAL, static_cast<int8_t>(dx), static_cast<int8_t>(dy)}; }
constexpr CStitch J(int dx, int dy) { return {STITCH_JUMP, static_cast<int8_t>(dx), static_cast<int8_t>(dy)}; }
constexpr CStitch kColour{STITCH_COLOUR, 0, 0};
constexpr CStitch kStop{STITCH_STOP, 0, 0};
constexpr CStitch kTrim{STITCH_TRIM, 0, 0};
constexpr CStitch kEnd{STITCH_END, 0, 0};

// The container a reader would leave: the records, and one colour more than
// there are colour changes unless colours says otherwise.
void Fill(CStitches& stitches, std::vector<CStitch> const& records, std::vector<unsigned> colours = {})
{
    ASSERT_EQ(stitches.AllocStorage(static_cast<int>(records.size())), 0);
    int failed = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        failed += stitches.PutStitch(static_cast<int>(i), records[i]);
    ASSERT_EQ(failed, 0);
    if (colours.empty())
        colours.assign(static_cast<std::size_t>(stitches.GetActualColourCount() + 1), 0);
    stitches.SetNumberColours(static_cast<int>(colours.size()));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        stitches.SetColour(static_cast<int>(i), colours[i]);
        stitches.SetManufacturer(static_cast<int>(i), 1);
    }
}

Bytes Slice(Bytes const& bytes, std::size_t from, std::size_t to) { return Bytes(bytes.begin() + from, bytes.begin() + to); }

std::vector<Record> ReadBack(Bytes const& file, SF::Format format, SF::ITvkVipCodec* codec = nullptr,
                             CStitches* into = nullptr)
{
    MemoryStream stream(file);
    CStitches own(1);
    CStitches& stitches = into != nullptr ? *into : own;
    EXPECT_EQ(stitches.Load(stream, format, nullptr, codec, nullptr, nullptr), 0);
    return Records(stitches);
}

// ---- DST ----

constexpr std::size_t kDstHeader = 512;
Bytes const kDstStart = {0x00, 0x00, 0x83};
Bytes const kDstEnd = {0x00, 0x00, 0xF3, 0x1A};

TEST(DstWriter, HeaderLinesAndTheLabel)
{
    CStitches stitches(1);
    Fill(stitches, {N(10, 20), N(-30, -5), kEnd});
    struct Case {
        char const* name;
        wchar_t const* filename;   // null: no save information
        bool encoding;
        std::string label;         // the 16 characters after "LA:"
    } const cases[] = {
        {"no information", nullptr, false, std::string(16, ' ')},
        {"cut to 8", L"Peacock-design", false, "Peacock-        "},
        {"control characters", L"A\rB\x1a", false, "A B             "},
        {"code page", L"Caf\u00e9", true, "Caf\xe9            "},
        {"no code page", L"Caf\u00e9", false, "Caf?            "},
    };
    StitchFormatsTesting::Win1252Encoding encoding;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRetriever out;
        StitchFormatsTesting::FilenameInformation information(c.filename != nullptr ? c.filename : L"");
        ASSERT_EQ(stitches.TajimaSave(out, c.filename != nullptr ? &information : nullptr,
                                      c.encoding ? &encoding : nullptr),
                  SF::kSaveStatusOK);
        // The box holds the start point: x -20..10, y 0..20.
        std::string const lines = "LA:" + c.label + "\r" + "ST:      3\rCO:  1\r+X:   10\r-X:   20\r+Y:   20\r-Y:    0\r"
                                  "AX:+    0\rAY:     0\rMX:+    0\rMY:+    0\rPD:******\r\x1a";
        Bytes expected(lines.begin(), lines.end());
        expected.resize(kDstHeader, ' ');
        ASSERT_GE(out.Written().size(), kDstHeader);
        EXPECT_EQ(Slice(out.Written(), 0, kDstHeader), expected);
    }
}

// DST data between the start jump and the end record.
Bytes Dst(Bytes const& data)
{
    Bytes file = kDstStart;
    file.insert(file.end(), data.begin(), data.end());
    file.insert(file.end(), kDstEnd.begin(), kDstEnd.end());
    return file;
}

// What the DST (after its header), EXP or 10o writer makes of the records.
Bytes Encoded(SF::Format format, std::vector<CStitch> const& records)
{
    CStitches stitches(1);
    Fill(stitches, records);
    MemoryRetriever out;
    int const status = format == SF::FormatDST   ? stitches.TajimaSave(out, nullptr, nullptr)
                       : format == SF::FormatEXP ? stitches.MelcoSave(out)
                                                 : stitches.ToyotaSave(out);
    EXPECT_EQ(status, SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    return format == SF::FormatDST && file.size() >= kDstHeader ? Slice(file, kDstHeader, file.size()) : file;
}

TEST(Writers, RecordEncodings)
{
    struct Case {
        SF::Format format;
        char const* name;
        std::vector<CStitch> records;
        Bytes file;
    } const cases[] = {
        {SF::FormatDST, "x +1", {N(1, 0)}, Dst({0x01, 0x00, 0x03})},
        {SF::FormatDST, "y +1", {N(0, 1)}, Dst({0x80, 0x00, 0x03})},
        {SF::FormatDST, "x -1, y -1", {N(-1, -1)}, Dst({0x42, 0x00, 0x03})},
        {SF::FormatDST, "largest jump", {J(121, -121)}, Dst({0x55, 0x55, 0x97})},
        {SF::FormatDST, "largest stitch", {N(-121, 121)}, Dst({0xAA, 0xAA, 0x2B})},
        {SF::FormatDST, "127 as a jump and a stitch", {N(127, 0)}, Dst({0x04, 0x08, 0x87, 0x05, 0x08, 0x07})},
        {SF::FormatDST, "-128 as two jumps", {J(-128, 0)}, Dst({0x0A, 0x04, 0x8B, 0x0A, 0x04, 0x8B})},
        {SF::FormatDST, "colour change", {N(1, 0), kColour}, Dst({0x01, 0x00, 0x03, 0x00, 0x00, 0xC3})},
        {SF::FormatDST, "stop", {N(1, 0), kStop}, Dst({0x01, 0x00, 0x03, 0x00, 0x00, 0xC3})},
        {SF::FormatDST, "trim", {N(1, 0), kTrim},
         Dst({0x01, 0x00, 0x03, 0x00, 0x01, 0x83, 0x01, 0x02, 0x83, 0x02, 0x00, 0x83})},
        {SF::FormatDST, "nothing after the end", {N(1, 0), kEnd, N(1, 0)}, Dst({0x01, 0x00, 0x03})},
        {SF::FormatDST, "unknown kind", {N(1, 0), {0x83, 5, 5}}, Dst({0x01, 0x00, 0x03})},

        {SF::FormatEXP, "stitch", {N(5, -3)}, {0x05, 0xFD}},
        {SF::FormatEXP, "jump", {J(10, 0)}, {0x80, 0x04, 0x0A, 0x00}},
        {SF::FormatEXP, "colour change", {kColour, N(1, 1)}, {0x80, 0x01, 0x00, 0x00, 0x01, 0x01}},
        {SF::FormatEXP, "stop", {kStop, N(1, 1)}, {0x80, 0x01, 0x00, 0x00, 0x01, 0x01}},
        {SF::FormatEXP, "trim", {kTrim}, {0x80, 0x04, 0xFC, 0x00, 0x80, 0x04, 0x02, 0x00, 0x80, 0x04, 0x02, 0x00}},
        {SF::FormatEXP, "-128 in x as two stitches", {N(-128, 6)}, {0xC0, 0x03, 0xC0, 0x03}},
        {SF::FormatEXP, "-128 in x as two jumps", {J(-128, -7)}, {0x80, 0x04, 0xC0, 0xFD, 0x80, 0x04, 0xC0, 0xFC}},
        {SF::FormatEXP, "no colour change after the last move", {N(1, 1), kColour, kStop, kEnd}, {0x01, 0x01}},
        {SF::FormatEXP, "nothing after the end", {N(1, 1), kEnd, N(2, 2)}, {0x01, 0x01}},

        {SF::Format10o, "stitch, x negative", {N(-10, 5)}, {0xA0, 0x05, 0x0A}},
        {SF::Format10o, "jump, y negative", {J(3, -4)}, {0xD0, 0x04, 0x03}},
        {SF::Format10o, "largest magnitudes", {N(-128, -128), J(127, 127)}, {0xE0, 0x80, 0x80, 0x90, 0x7F, 0x7F}},
        {SF::Format10o, "commands", {kTrim, kStop, kColour}, {0x81, 0, 0, 0x82, 0, 0, 0x85, 0, 0}},
        {SF::Format10o, "nothing after the end", {N(1, 2), kEnd, N(1, 2)}, {0x80, 0x02, 0x01, 0x87, 0, 0}},
        {SF::Format10o, "unknown kind", {{0x83, 1, 1}, N(0, 0)}, {0x80, 0, 0}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(SF::FormatName(c.format)) + ": " + c.name);
        EXPECT_EQ(Encoded(c.format, c.records), c.file);
    }
}

TEST(DstWriter, ReadsBackWithTheTrimAndTheSplitStep)
{
    CStitches stitches(1);
    Fill(stitches, {N(10, 0), kTrim, N(125, -3), kColour, N(0, 10), kEnd});
    MemoryRetriever out;
    ASSERT_EQ(stitches.TajimaSave(out, nullptr, nullptr), SF::kSaveStatusOK);
    std::vector<Record> const expected = {
        {STITCH_NORMAL, 10, 0}, {STITCH_TRIM, 0, 0},    {STITCH_JUMP, 3, 0},    {STITCH_JUMP, -2, 0},
        {STITCH_JUMP, -1, 0},   {STITCH_JUMP, 62, -1},  {STITCH_NORMAL, 63, -2}, {STITCH_COLOUR, 0, 0},
        {STITCH_NORMAL, 0, 10}, {STITCH_END, 0, 0},
    };
    EXPECT_EQ(ReadBack(out.Written(), SF::FormatDST), expected);
}

// ---- EXP ----

TEST(ExpWriter, ATrimAfterAStitchReadsBackAsATrimAndThreeJumps)
{
    CStitches stitches(1);
    Fill(stitches, {N(10, 0), kTrim, J(40, 40), N(3, 3), kColour, N(-5, 0), kEnd});
    MemoryRetriever out;
    ASSERT_EQ(stitches.MelcoSave(out), SF::kSaveStatusOK);
    std::vector<Record> const expected = {
        {STITCH_NORMAL, 10, 0}, {STITCH_TRIM, 0, 0},  {STITCH_JUMP, -4, 0},   {STITCH_JUMP, 2, 0},
        {STITCH_JUMP, 2, 0},    {STITCH_JUMP, 40, 40}, {STITCH_NORMAL, 3, 3}, {STITCH_COLOUR, 0, 0},
        {STITCH_NORMAL, -5, 0}, {STITCH_END, 0, 0},
    };
    EXPECT_EQ(ReadBack(out.Written(), SF::FormatEXP), expected);
}

// ---- PCS ----

struct PcsRecord {
    int32_t x;   // the palette index of a colour change
    int32_t y;
    uint8_t kind;
    friend bool operator==(PcsRecord const&, PcsRecord const&) = default;
};

void PrintTo(PcsRecord const& r, std::ostream* os)
{
    *os << "{" << r.x << ", " << r.y << ", " << int(r.kind) << "}";
}

constexpr std::size_t kPcsCountAt = 64;

std::vector<PcsRecord> PcsRecords(Bytes const& file)
{
    std::vector<PcsRecord> records;
    for (std::size_t at = kPcsCountAt + 2; at + 9 <= file.size(); at += 9) {
        auto le32 = [&](std::size_t i) {
            return static_cast<int32_t>(file[i] | file[i + 1] << 8 | file[i + 2] << 16 | uint32_t(file[i + 3]) << 24);
        };
        records.push_back({le32(at), le32(at + 4), file[at + 8]});
    }
    return records;
}

TEST(PcsWriter, HeaderPaletteAndRecords)
{
    // Needles at (160, 0), (1040, 0), (1040, 30) and (1000, 0): the box's
    // centre (600, 15) goes on the hoop start (600, 575).
    std::vector<CStitch> records = {J(100, 0), J(60, 0), N(0, 0)};
    for (int i = 0; i < 7; ++i)
        records.push_back(J(120, 0));
    records.insert(records.end(), {N(40, 0), kColour, N(0, 30), kStop, kTrim, N(-40, -30), kEnd});
    CStitches stitches(1);
    // Both colours are the same thread: one palette entry serves them.
    Fill(stitches, records, {0x345678, 0x345678});
    MemoryRetriever out;
    ASSERT_EQ(stitches.DravoSave(out), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_GE(file.size(), kPcsCountAt + 2);

    Bytes expectedHeader = {'2', 3, 15, 0, 0x78, 0x56, 0x34, 0};
    for (int k = 1; k < 15; ++k)
        expectedHeader.insert(expectedHeader.end(), {PcsCols[k].red, PcsCols[k].green, PcsCols[k].blue, 0});
    expectedHeader.insert(expectedHeader.end(), {4, 0});
    EXPECT_EQ(Slice(file, 0, kPcsCountAt + 2), expectedHeader);

    // trunc(v / 1.6667 * 256): 160 -> 24575, 560 -> 86014, 590 -> 90622, 1000 -> 153596, 1040 -> 159740.
    std::vector<PcsRecord> const expected = {
        {0, 0, 3},          {24575, 86014, 0}, {159740, 86014, 0}, {0, 0, 3},
        {159740, 90622, 0}, {0, 0, 3},         {153596, 86014, 0},
    };
    EXPECT_EQ(PcsRecords(file), expected);
    EXPECT_EQ((file.size() - kPcsCountAt - 2) % 9, 0u);
}

TEST(PcsWriter, HoopSizeLimits)
{
    struct Case {
        int width;
        int height;
        int status;
    } const cases[] = {
        {1200, 1150, SF::kSaveStatusOK},
        {1201, 10, SF::kSaveStatusTooLarge},
        {10, 1151, SF::kSaveStatusTooLarge},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        std::vector<CStitch> records = {N(0, 0)};
        for (int w = c.width, h = c.height; w > 0 || h > 0; w -= 100, h -= 100)
            records.push_back(N(std::min(std::max(w, 0), 100), std::min(std::max(h, 0), 100)));
        records.push_back(kEnd);
        CStitches stitches(1);
        Fill(stitches, records);
        MemoryRetriever out;
        EXPECT_EQ(stitches.DravoSave(out), c.status);
        EXPECT_EQ(out.Written().empty(), c.status != SF::kSaveStatusOK);
    }
}

TEST(PcsWriter, ColoursBeyondThePaletteOrTheTable)
{
    // 16 distinct colours: the first 15 make the palette, the 16th takes its nearest entry.
    std::vector<unsigned> colours;
    std::vector<CStitch> records = {N(1, 1)};
    for (unsigned i = 0; i < 16; ++i) {
        colours.push_back(i < 15 ? RGBFromBytes(static_cast<unsigned char>(16 * i), 0, 0) : RGBFromBytes(250, 2, 0));
        if (i > 0)
            records.insert(records.end(), {kColour, N(1, 1)});
    }
    records.push_back(kEnd);
    CStitches stitches(1);
    Fill(stitches, records, colours);
    MemoryRetriever out;
    ASSERT_EQ(stitches.DravoSave(out), SF::kSaveStatusOK);
    std::vector<int> indices;
    for (PcsRecord const& r : PcsRecords(out.Written()))
        if (r.kind == 3)
            indices.push_back(r.x);
    std::vector<int> expected;
    for (int i = 0; i < 15; ++i)
        expected.push_back(i);
    expected.push_back(14);   // (250, 2, 0) is nearest to (224, 0, 0)
    EXPECT_EQ(indices, expected);

    // More colour changes than colours: the extra ones keep the last colour's entry.
    CStitches short1(1);
    Fill(short1, {N(1, 1), kColour, N(1, 1), kColour, N(1, 1), kEnd}, {0x0000FF, 0x00FF00});
    MemoryRetriever out2;
    ASSERT_EQ(short1.DravoSave(out2), SF::kSaveStatusOK);
    indices.clear();
    for (PcsRecord const& r : PcsRecords(out2.Written()))
        if (r.kind == 3)
            indices.push_back(r.x);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 1}));
}

TEST(PcsWriter, AFirstStitchOnTheHoopStartMovesByOneUnit)
{
    // The box's centre is the first stitch; the reader would drop a first
    // record on the start point, so the design moves right by one.
    CStitches stitches(1);
    Fill(stitches, {N(0, 0), N(10, 0), N(-20, 0), kEnd});
    MemoryRetriever out;
    ASSERT_EQ(stitches.DravoSave(out), SF::kSaveStatusOK);
    std::vector<PcsRecord> const records = PcsRecords(out.Written());
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1], (PcsRecord{92311, 88318, 0}));   // (601, 575)
    std::vector<Record> const expected = {
        {STITCH_NORMAL, 1, 0}, {STITCH_NORMAL, 10, 0}, {STITCH_NORMAL, -20, 0}, {STITCH_END, 0, 0}};
    EXPECT_EQ(ReadBack(out.Written(), SF::FormatPCS), expected);
}

// ---- TVK and VIP ----

constexpr std::size_t kTvkVipHeader = 42;

uint32_t Le32At(Bytes const& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

TEST(TvkWriter, HeaderColourIndicesStreamsAndShortNotes)
{
    auto const codec = SF::MakeTvkVipCodec();
    StitchFormatsTesting::Win1252Encoding encoding;
    CStitches stitches(1);
    Fill(stitches, {N(10, 20), kColour, N(-30, -5), kEnd}, {GetTovenrikRGB(3), GetTovenrikRGB(14)});
    stitches.SetWideNotes(L"Notes f\u00fcr Anna");
    MemoryRetriever out;
    ASSERT_EQ(stitches.TovenrikSave(out, &encoding, codec.get()), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_GT(file.size(), kTvkVipHeader + 4);

    Bytes const expected = {
        0x5D, 0xFC, 0xC8, 0x00,   // code number 64605, version 200
        4, 0, 0, 0,               // records
        2, 0, 0, 0,               // colours, hoop
        10, 0, 20, 0,             // maximum x, y
        0xEC, 0xFF, 0, 0,         // minimum x, y: -20, 0
    };
    EXPECT_EQ(Slice(file, 0, 20), expected);
    EXPECT_EQ(Le32At(file, 20), kTvkVipHeader + 4);   // the streams follow the two colour indices
    EXPECT_LT(Le32At(file, 20), Le32At(file, 24));
    EXPECT_LT(Le32At(file, 24), Le32At(file, 28));
    EXPECT_EQ(Slice(file, 32, 42), (Bytes{'N', 'o', 't', 'e', 's', ' ', 'f', 0xFC, 0, 0}));
    EXPECT_EQ(Slice(file, 42, 46), (Bytes{3, 0, 14, 0}));

    CStitches back(1);
    std::vector<Record> const expectedRecords = {
        {STITCH_NORMAL, 10, 20}, {STITCH_COLOUR, 0, 0}, {STITCH_NORMAL, -30, -5}, {STITCH_END, 0, 0}};
    MemoryStream stream(file);
    ASSERT_EQ(back.Load(stream, SF::FormatTVK, &encoding, codec.get(), nullptr, nullptr), 0);
    EXPECT_EQ(Records(back), expectedRecords);
    EXPECT_EQ(back.GetWideNotes(), L"Notes f\u00fc");
}

TEST(VipWriter, ColoursCatalogueTypesAndNotesReadBack)
{
    auto const codec = SF::MakeTvkVipCodec();
    CStitches stitches(1);
    Fill(stitches, {N(10, 20), kColour, N(-30, -5), kEnd}, {0x89F9FF, 0xC0F6F9});
    stitches.SetManufacturer(0, 0);
    stitches.SetManufacturer(1, 2);
    // A character beyond the first plane takes two units; a lone surrogate
    // cannot be written and becomes U+FFFD.
    stitches.SetWideNotes(std::wstring(L"AB\U0001F600") + wchar_t(0xD800));
    MemoryRetriever out;
    ASSERT_EQ(stitches.VIPSave(out, codec.get()), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_GT(file.size(), kTvkVipHeader + 4);
    EXPECT_EQ(Slice(file, 2, 4), (Bytes{0x90, 0x01}));   // version 400

    // The scrambled colours come right after the notes offset, then the types.
    EXPECT_EQ(Slice(file, 54, 62), (Bytes{0, 0, 0, 0, 2, 0, 0, 0}));
    uint32_t const notesAt = Le32At(file, 42);
    EXPECT_EQ(notesAt, 62u);
    Bytes const notes = {6, 0, 0, 0, 'A', 0, 'B', 0, 0x3D, 0xD8, 0x00, 0xDE, 0xFD, 0xFF, 0, 0};
    EXPECT_EQ(Slice(file, notesAt, notesAt + notes.size()), notes);
    EXPECT_EQ(Le32At(file, 20), notesAt + notes.size());

    CStitches back(1);
    MemoryStream stream(file);
    ASSERT_EQ(back.Load(stream, SF::FormatVIP, nullptr, codec.get(), nullptr, nullptr), 0);
    EXPECT_EQ(Records(back), Records(stitches));
    EXPECT_EQ(back.GetColour(0), 0x89F9FFu);
    EXPECT_EQ(back.GetColour(1), 0xC0F6F9u);
    EXPECT_EQ(back.GetManufacturer(0), 0);
    EXPECT_EQ(back.GetManufacturer(1), 2);
    EXPECT_EQ(back.GetWideNotes(), std::wstring(L"AB\U0001F600\uFFFD"));
}

// ---- PEC, PES and JEF ----

// One container for the Brother and Janome writers: a stitch, a run of jumps,
// a long stitch, a colour change to a colour of the same palette entry, a
// stitch on the spot, a trim without a move, a stop and a last stitch.
std::vector<CStitch> const kMachineRecords = {N(10, 20), J(100, 0), J(50, -30), N(-70, 5), kColour, N(0, 0),
                                              kTrim,     N(3, 4),   kStop,      N(1, 1),   kEnd};

// Consecutive jumps as one: the readers split moves their own way.
std::vector<Record> JumpsMerged(std::vector<Record> const& records)
{
    std::vector<Record> out;
    for (Record const& r : records) {
        if (r.flags == STITCH_JUMP && !out.empty() && out.back().flags == STITCH_JUMP) {
            out.back().dx += r.dx;
            out.back().dy += r.dy;
        } else {
            out.push_back(r);
        }
    }
    return out;
}

constexpr std::size_t kPecBlock = 8;   // after "#PEC0001"
constexpr std::size_t kPecStitches = kPecBlock + 512;
constexpr std::size_t kThumbnailSize = 6 * 38;

// The PEC file of a container of records, saved without a label.
Bytes SavedPec(std::vector<CStitch> const& records)
{
    CStitches stitches(1);
    Fill(stitches, records);
    MemoryRetriever out;
    EXPECT_EQ(stitches.BrotherPECSave(out, nullptr), SF::kSaveStatusOK);
    return out.Written();
}

TEST(PecWriter, BlockHeaderColoursStitchCodesAndThumbnails)
{
    unsigned const red = GetBrotherRGB(4);
    CStitches stitches(1);
    Fill(stitches, kMachineRecords, {red, red});
    MemoryRetriever out;
    StitchFormatsTesting::FilenameInformation information(L"Rose\u00e9 and a long name");
    ASSERT_EQ(stitches.BrotherPECSave(out, &information), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_GT(file.size(), kPecStitches + 46);

    std::string const header = "#PEC0001LA:Rose? and a long\r" + std::string(12, ' ');
    EXPECT_EQ(Slice(file, 0, 40), Bytes(header.begin(), header.end()));
    EXPECT_EQ(Slice(file, 40, 44), (Bytes{0xFF, 0x00, 6, 38}));
    // Three colours (the stop repeats the second), each palette entry 4, written 5.
    EXPECT_EQ(Slice(file, kPecBlock + 48, kPecBlock + 52), (Bytes{2, 5, 5, 5}));
    EXPECT_EQ(file[kPecBlock + 52], ' ');

    Bytes const section = {
        0x00, 0x00, 46, 0x00, 0x00,   // byte count: the section's 46 bytes, as 24 bits
        0x31, 0xFF, 0xF0, 160, 0, 30, 0,   // signature, design units, extents 160 x 30
        0xE0, 0x01, 0xB0, 0x01,
        0x90, 0x00, 0x90, 0x00,   // a move of nothing, which a PEC reader drops
        0x0A, 0x6C,               // stitch (10, -20): 7 bits, y down
        0x90, 0x96, 0x90, 0x1E,   // both jumps as one 12-bit move (150, 30)
        0x8F, 0xBA, 0x7B,         // stitch (-70, -5): x in 12 bits
        0xFE, 0xB0, 0x02,         // colour change
        0x00, 0x00,
        0xA0, 0x00, 0xA0, 0x00,   // the trim, on a move of nothing
        0x03, 0x7C,
        0xFE, 0xB0, 0x01,         // the stop
        0x01, 0x7F,
        0xFF,
    };
    EXPECT_EQ(Slice(file, kPecStitches, kPecStitches + section.size()), section);
    // The whole design and one picture per colour.
    EXPECT_EQ(file.size(), kPecStitches + section.size() + 4 * kThumbnailSize);

    CStitches back(1);
    std::vector<Record> const expected = {
        {STITCH_NORMAL, 10, 20}, {STITCH_JUMP, 150, -30}, {STITCH_NORMAL, -70, 5}, {STITCH_COLOUR, 0, 0},
        {STITCH_NORMAL, 0, 0},   {STITCH_TRIM, 0, 0},     {STITCH_NORMAL, 3, 4},   {STITCH_COLOUR, 0, 0},
        {STITCH_NORMAL, 1, 1},   {STITCH_END, 0, 0},
    };
    EXPECT_EQ(JumpsMerged(ReadBack(file, SF::FormatPEC, nullptr, &back)), expected);
    ASSERT_EQ(back.GetNumberColours(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(back.GetColour(k), red);
}

TEST(PecWriter, LongMovesTrimsAndFirstMoves)
{
    struct Case {
        char const* name;
        std::vector<CStitch> records;
        Bytes codes;   // after the move of nothing, up to the end code
        std::vector<Record> back;
    } const cases[] = {
        // 17 jumps of 127 and 1: 2160 units, more than one 12-bit move holds.
        {"a move split in two",
         [] {
             std::vector<CStitch> r(17, J(127, 0));
             r.insert(r.end(), {J(1, 0), N(1, 0)});
             return r;
         }(),
         {0x94, 0x38, 0x90, 0x00, 0x94, 0x38, 0x90, 0x00, 0x01, 0x00},
         {{STITCH_JUMP, 2160, 0}, {STITCH_NORMAL, 1, 0}}},
        {"a trim flags the move after it", {N(5, 0), kTrim, J(-20, 3), N(1, 0)},
         {0x05, 0x00, 0xAF, 0xEC, 0xAF, 0xFD, 0x01, 0x00},
         {{STITCH_NORMAL, 5, 0}, {STITCH_TRIM, 0, 0}, {STITCH_JUMP, -20, 3}, {STITCH_NORMAL, 1, 0}}},
        {"the largest short steps and the smallest long ones",
         {N(63, 0), N(-64, 0), N(0, 64), N(0, -63), N(64, 0), N(0, 65)},
         {0x3F, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x3F, 0x80, 0x40, 0x00, 0x00, 0x8F, 0xBF},
         {{STITCH_NORMAL, 63, 0}, {STITCH_NORMAL, -64, 0}, {STITCH_NORMAL, 0, 64}, {STITCH_NORMAL, 0, -63},
          {STITCH_NORMAL, 64, 0}, {STITCH_NORMAL, 0, 65}}},
        {"a colour change before any stitch goes", {J(3, 3), kColour, N(1, 1)},
         {0x90, 0x03, 0x9F, 0xFD, 0x01, 0x7F},
         {{STITCH_JUMP, 3, 3}, {STITCH_NORMAL, 1, 1}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes const file = SavedPec(c.records);
        constexpr std::size_t kCodes = kPecStitches + 20;
        ASSERT_GT(file.size(), kCodes + c.codes.size());
        EXPECT_EQ(Slice(file, kCodes, kCodes + c.codes.size() + 1), [&] {
            Bytes b = c.codes;
            b.push_back(0xFF);
            return b;
        }());
        std::vector<Record> want = c.back;
        want.push_back({STITCH_END, 0, 0});
        // The first move of a PEC file is dropped: ours is the move of nothing.
        EXPECT_EQ(JumpsMerged(ReadBack(file, SF::FormatPEC)), JumpsMerged(want));
    }
}

TEST(PecWriter, ALabelOurReadersTakeForAnotherProductsDataIsLeftOut)
{
    CStitches stitches(1);
    Fill(stitches, {N(1, 1), kEnd});
    for (SF::Format const format : {SF::FormatPEC, SF::FormatPES}) {
        SCOPED_TRACE(SF::FormatName(format));
        MemoryRetriever out;
        StitchFormatsTesting::FilenameInformation information(L"SColourStitch");
        ASSERT_EQ(stitches.Save(out, format, &information, nullptr, nullptr), SF::kSaveStatusOK);
        MemoryStream stream(out.Written());
        CSimpleDesign design;
        EXPECT_EQ(SF::Load(design, stream, 0, format, nullptr, nullptr, nullptr, nullptr), 0);
    }
}

TEST(PecWriter, StitchesThatSpellAnotherProductsMarkerStillReadBack)
{
    // Short steps whose bytes spell "SColourStitch" near the start of the
    // file, where our readers look for that text.
    std::string const marker = "SColourStitch!";
    auto seven = [](char c) { return (c & 0x40) != 0 ? (c & 0x7F) - 0x80 : c & 0x7F; };
    std::vector<CStitch> records = {N(0, 0)};
    for (std::size_t i = 0; i < marker.size(); i += 2)
        records.push_back(N(seven(marker[i]), -seven(marker[i + 1])));   // y down in the file
    records.push_back(kEnd);
    CStitches stitches(1);
    Fill(stitches, records);
    for (SF::Format const format : {SF::FormatPEC, SF::FormatPES}) {
        SCOPED_TRACE(SF::FormatName(format));
        MemoryRetriever out;
        ASSERT_EQ(stitches.Save(out, format, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
        EXPECT_FALSE(CStitches::IsCanFileData(reinterpret_cast<char const*>(out.Written().data()),
                                              out.Written().size()));
        MemoryStream stream(out.Written());
        CSimpleDesign design;
        ASSERT_EQ(SF::Load(design, stream, 0, format, nullptr, nullptr, nullptr, nullptr), 0);
        std::vector<PointI> needles;
        for (CAbsStitch const& s : StitchFormatsTesting::StitchesOf(design))
            if (s.type == CAbsStitch::Normal)
                needles.push_back(s.position);
        // The design starts at (0, 0) and ends at the steps' sum, y down.
        ASSERT_EQ(needles.size(), marker.size() / 2);
        EXPECT_EQ(needles.back(), (PointI{-141, -156}));
    }
}

// The pixel at (x, y) of thumbnail k: bit 0 is the leftmost of each byte.
bool Pixel(Bytes const& file, std::size_t thumbnails, int k, int x, int y)
{
    return (file[thumbnails + static_cast<std::size_t>(k) * kThumbnailSize + static_cast<std::size_t>(y * 6 + x / 8)]
            >> (x % 8)) & 1;
}

TEST(PecWriter, ThumbnailsDrawTheWholeDesignAndEachColour)
{
    // A line to the right in the first colour, then one downwards in the second.
    CStitches stitches(1);
    Fill(stitches, {N(0, 0), N(100, 0), kColour, N(0, -60), kEnd});
    MemoryRetriever out;
    ASSERT_EQ(stitches.BrotherPECSave(out, nullptr), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_GT(file.size(), kPecStitches + 5);
    std::size_t const thumbnails = kPecStitches + file[kPecStitches + 2];   // the section's length
    ASSERT_EQ(file.size(), thumbnails + 3 * kThumbnailSize);

    // 100 x 60 units fill the 39 x 29 pixel area from (4, 4) in width:
    // the lines lie on row 7 from x 4 to 43 and on column 43 from row 7 to 30.
    auto row = [&](int k, int from, int to) {
        int set = 0;
        for (int x = from; x <= to; ++x)
            set += Pixel(file, thumbnails, k, x, 7);
        return set;
    };
    auto column = [&](int k, int from, int to) {
        int set = 0;
        for (int y = from; y <= to; ++y)
            set += Pixel(file, thumbnails, k, 43, y);
        return set;
    };
    EXPECT_EQ(row(0, 4, 43), 40);
    EXPECT_EQ(column(0, 7, 30), 24);
    EXPECT_EQ(row(1, 4, 43), 40);
    EXPECT_EQ(column(1, 8, 30), 0);
    EXPECT_EQ(row(2, 4, 42), 0);
    EXPECT_EQ(column(2, 7, 30), 24);
    // The frame is the one in the pictures of a real file.
    char const* const real = "../shared/corpus/pec/Hopea.pec";
    if (std::filesystem::exists(real)) {
        auto const bytes = StitchFormatsTesting::ReadFile(real);
        Bytes const hopea(bytes.begin(), bytes.end());
        std::size_t const hopeaPictures = kPecStitches + (hopea[kPecStitches + 2] | hopea[kPecStitches + 3] << 8);
        for (int y = 0; y < 38; ++y)
            for (int x = 0; x < 48; ++x)
                if (x < 3 || x > 44 || y < 3 || y > 34) {
                    EXPECT_EQ(Pixel(file, thumbnails, 0, x, y), Pixel(hopea, hopeaPictures, 0, x, y)) << x << ", " << y;
                }
    }
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(Pixel(file, thumbnails, k, 1, 18));    // the frame's left side
        EXPECT_TRUE(Pixel(file, thumbnails, k, 24, 36));   // and its bottom
        EXPECT_FALSE(Pixel(file, thumbnails, k, 20, 20));  // nothing drawn inside the L
        EXPECT_FALSE(Pixel(file, thumbnails, k, 0, 0));
    }
}

TEST(PecWriter, ThumbnailsCentreADesignWithoutWidthOrHeight)
{
    // All stitches on one point, a line across and a line down: what is drawn
    // sits in the middle of the 40 x 30 pixel area from (4, 4), whose centre
    // is (23.5, 18.5), also on the axis where the design has no extent.
    struct Case {
        char const* name;
        std::vector<CStitch> records;
    } const cases[] = {
        {"one point", {N(0, 0), N(0, 0), kEnd}},
        {"a line across", {N(0, 0), N(100, 0), kEnd}},
        {"a line down", {N(0, 0), N(0, -100), kEnd}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes const file = SavedPec(c.records);
        ASSERT_GT(file.size(), kPecStitches + 5);
        std::size_t const thumbnails = kPecStitches + file[kPecStitches + 2];
        ASSERT_EQ(file.size(), thumbnails + 2 * kThumbnailSize);
        int left = 48, right = -1, top = 38, bottom = -1;
        for (int y = 4; y <= 33; ++y)
            for (int x = 4; x <= 43; ++x)
                if (Pixel(file, thumbnails, 0, x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0);
        EXPECT_NEAR((left + right) / 2.0, 23.5, 1.0);
        EXPECT_NEAR((top + bottom) / 2.0, 18.5, 1.0);
    }
}

TEST(PesWriter, VersionOneHeaderThenTheBlockThatReadsBackInPlace)
{
    CStitches stitches(1);
    Fill(stitches, kMachineRecords, {GetBrotherRGB(4), GetBrotherRGB(10)});
    MemoryRetriever out;
    ASSERT_EQ(stitches.BrotherPESSave(out, nullptr), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    Bytes const header = {'#', 'P', 'E', 'S', '0', '0', '0', '1', 22, 0, 0, 0,   // card data at 22
                          0, 0, 0, 0,                                            // hoop 100 x 100
                          0, 0, 0xFF, 0xFF, 0, 0};                               // no design objects
    ASSERT_GT(file.size(), 22u + 512 + 24);
    EXPECT_EQ(Slice(file, 0, 22), header);
    EXPECT_EQ(Slice(file, 22, 25), (Bytes{'L', 'A', ':'}));
    EXPECT_EQ(Slice(file, 22 + 48, 22 + 52), (Bytes{2, 5, 11, 11}));
    // After the move of nothing: the move back from where the reader puts the
    // block's origin, half the extents (80, 15) up and left.
    EXPECT_EQ(Slice(file, 22 + 512 + 16, 22 + 512 + 28),
              (Bytes{0x90, 0x00, 0x90, 0x00, 0x90, 0x50, 0x90, 0x0F, 0x0A, 0x6C, 0x90, 0x96}));
    // The reader skips (colour byte + 2) thumbnails of 6 x 38 after the end
    // code, as the block header says: the file ends there.
    std::size_t const section = file[22 + 512 + 2];
    EXPECT_EQ(file[22 + 512 + section - 1], 0xFF);
    EXPECT_EQ(file.size(), 22 + 512 + section + (file[22 + 48] + 2) * std::size_t(file[22 + 34]) * file[22 + 35]);

    // Its needle points are those of the PEC file of the same records.
    MemoryRetriever pec;
    ASSERT_EQ(stitches.BrotherPECSave(pec, nullptr), SF::kSaveStatusOK);
    auto needles = [](Bytes const& bytes, SF::Format format) {
        MemoryStream stream(bytes);
        CSimpleDesign design;
        EXPECT_EQ(SF::Load(design, stream, 0, format, nullptr, nullptr, nullptr, nullptr), 0);
        std::vector<std::pair<int, PointI>> points;
        for (CAbsStitch const& s : StitchFormatsTesting::StitchesOf(design))
            if (s.type == CAbsStitch::Normal || s.type == CAbsStitch::ColourChange)
                points.emplace_back(s.type, s.position);
        return points;
    };
    auto const fromPes = needles(file, SF::FormatPES);
    EXPECT_GE(fromPes.size(), 5u);
    EXPECT_EQ(fromPes, needles(pec.Written(), SF::FormatPEC));
    EXPECT_EQ(fromPes.back().second, (PointI{94, 0}));

    // A design over 100 mm takes the 130 x 180 hoop.
    CStitches large(1);
    Fill(large, std::vector<CStitch>(8, N(126, 0)));
    MemoryRetriever largeOut;
    ASSERT_EQ(large.BrotherPESSave(largeOut, nullptr), SF::kSaveStatusOK);
    EXPECT_EQ(Slice(largeOut.Written(), 12, 14), (Bytes{1, 0}));
}

TEST(JefWriter, HeaderHoopColourCodesAndStitchData)
{
    unsigned const red = GetExtendedSewRGB(9);
    std::vector<CStitch> records = kMachineRecords;
    records.insert(records.end() - 1, N(-128, 6));
    CStitches stitches(1);
    Fill(stitches, records, {red, red});
    MemoryRetriever out;
    ASSERT_EQ(stitches.JefSave(out), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    ASSERT_EQ(file.size(), 140u + 30);

    EXPECT_EQ(Le32At(file, 0), 140u);   // 116 and two lists of three colours
    EXPECT_EQ(Le32At(file, 4), 0x14u);
    for (std::size_t i = 8; i < 22; ++i)
        EXPECT_TRUE(file[i] >= '0' && file[i] <= '9') << i;   // the date and time of saving
    EXPECT_EQ(Slice(file, 22, 24), (Bytes{0, 0}));
    EXPECT_EQ(Le32At(file, 24), 3u);
    EXPECT_EQ(Le32At(file, 28), 15u);   // 2-byte units of stitch data
    // Reach from the centre: left 34, top 20, right 160, bottom 10; the 50 x 50 hoop (code 1) holds it.
    EXPECT_EQ(Le32At(file, 32), 1u);
    std::vector<uint32_t> const extents = {34,  20,  160, 10,  516, 530, 390, 540, 216, 230, 90,
                                           240, 666, 980, 540, 990, 666, 980, 540, 990};
    for (std::size_t k = 0; k < extents.size(); ++k)
        EXPECT_EQ(Le32At(file, 36 + 4 * k), extents[k]) << k;
    // Janome entry 9 for every colour, written 10; then the thread types.
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(Le32At(file, 116 + 4 * k), 10u);
        EXPECT_EQ(Le32At(file, 128 + 4 * k), 13u);
    }
    Bytes const data = {
        0x0A, 0x14, 0x80, 0x02, 0x64, 0x00, 0x80, 0x02, 0x32, 0xE2, 0xBA, 0x05,   // stitch, jumps, stitch
        0x80, 0x01, 0x00, 0x00, 0x03, 0x04,                                     // change, stitches (no trim)
        0x80, 0x01, 0x01, 0x01,                                                 // the stop, a stitch
        0x80, 0x02, 0xC0, 0x03, 0xC0, 0x03,   // -128 in x: a jump and a stitch of -64
        0x80, 0x10,
    };
    EXPECT_EQ(Slice(file, 140, file.size()), data);

    CStitches back(1);
    std::vector<Record> const expected = {
        {STITCH_NORMAL, 10, 20},  {STITCH_JUMP, 100, 0},  {STITCH_JUMP, 50, -30}, {STITCH_NORMAL, -70, 5},
        {STITCH_COLOUR, 0, 0},    {STITCH_NORMAL, 0, 0},  {STITCH_NORMAL, 3, 4},  {STITCH_COLOUR, 0, 0},
        {STITCH_NORMAL, 1, 1},    {STITCH_JUMP, -64, 3},  {STITCH_NORMAL, -64, 3},
    };
    EXPECT_EQ(ReadBack(file, SF::FormatJEF, nullptr, &back), expected);
    ASSERT_EQ(back.GetNumberColours(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(back.GetColour(k), red);
}

// What a design saved from a real file says of its reach and of the room
// each hoop leaves: as the file said, where that file's writer was consistent.
TEST(JefWriter, StitchesThatSpellAnotherProductsMarkerStillReadBack)
{
    // Stitches whose bytes spell "SColourStitch" near the start of the file,
    // where our readers look for that text.
    std::string const marker = "SColourStitch!";
    std::vector<CStitch> records = {N(0, 0)};
    for (std::size_t i = 0; i < marker.size(); i += 2)
        records.push_back(N(marker[i], marker[i + 1]));
    records.push_back(kEnd);
    CStitches stitches(1);
    Fill(stitches, records);
    MemoryRetriever out;
    ASSERT_EQ(stitches.JefSave(out), SF::kSaveStatusOK);
    Bytes const& file = out.Written();
    EXPECT_FALSE(CStitches::IsCanFileData(reinterpret_cast<char const*>(file.data()), file.size()));
    // The same records, but for a jump of nothing that breaks the text (and
    // the end record, which the reader leaves out).
    std::vector<Record> back;
    for (Record const& r : ReadBack(file, SF::FormatJEF))
        if (r.flags != STITCH_JUMP || r.dx != 0 || r.dy != 0)
            back.push_back(r);
    std::vector<Record> expected = Records(stitches);
    expected.pop_back();
    EXPECT_EQ(back, expected);
}

TEST(JefWriter, ExtentsAndHoopRoomAsInRealFiles)
{
    for (char const* name : {"../shared/corpus/jef/rectangle.jef", "../shared/corpus/jef/Bean.jef"}) {
        SCOPED_TRACE(name);
        if (!std::filesystem::exists(name))
            GTEST_SKIP() << "no corpus";
        auto const bytes = StitchFormatsTesting::ReadFile(name);
        Bytes const original(bytes.begin(), bytes.end());
        MemoryStream stream(original);
        CSimpleDesign design;
        ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatJEF, nullptr, nullptr, nullptr, nullptr), 0);
        MemoryRetriever out;
        ASSERT_EQ(SF::Save(design, out, SF::FormatJEF, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
        ASSERT_GE(out.Written().size(), 116u);
        EXPECT_EQ(Slice(out.Written(), 36, 116), Slice(original, 36, 116));
    }
}

TEST(JefWriter, TheSmallestHoopThatHoldsTheDesign)
{
    struct Case {
        int right;    // the design reaches this far right of the centre
        int down;     // and this far below it
        uint32_t hoop;
    } const cases[] = {
        {250, 250, 1},    // 50 x 50
        {251, 0, 0},      // 110 x 110
        {630, 0, 3},      // 126 x 110
        {631, 0, 2},      // 140 x 200
        {600, 1000, 2},
        {701, 0, 4},      // 200 x 200
        {1001, 0, 4},     // larger than every hoop: the largest
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.right) + ", " + std::to_string(c.down));
        std::vector<CStitch> records;
        for (int x = c.right; x > 0; x -= 100)
            records.push_back(N(std::min(x, 100), 0));
        for (int y = c.down; y > 0; y -= 100)
            records.push_back(N(0, -std::min(y, 100)));
        CStitches stitches(1);
        Fill(stitches, records);
        MemoryRetriever out;
        ASSERT_EQ(stitches.JefSave(out), SF::kSaveStatusOK);
        EXPECT_EQ(Le32At(out.Written(), 32), c.hoop);
    }
}

// ---- refusals: a status, and nothing written ----

TEST(Writers, RefuseWhatAFormatCannotHoldBeforeWritingAnything)
{
    auto const codec = SF::MakeTvkVipCodec();
    // One record more than any reader takes.
    CStitches tooMany(1);
    Fill(tooMany, std::vector<CStitch>(static_cast<std::size_t>(CStitches::kMaxStitchCount) + 1, N(0, 0)));
    // 259 steps of 127: 32893 units, beyond the 16-bit box of TVK and VIP.
    CStitches wide(1);
    Fill(wide, std::vector<CStitch>(259, N(127, 0)));
    // 788 steps: 100076 units, beyond the DST header's five digits.
    CStitches wider(1);
    Fill(wider, std::vector<CStitch>(788, N(127, 0)));
    std::vector<CStitch> changes = {N(1, 1)}, moreChanges = {N(1, 1)};
    for (int i = 0; i < 99; ++i)
        changes.insert(changes.end(), {i % 2 ? kStop : kColour, N(1, 1)});
    for (int i = 0; i < 2000; ++i)
        moreChanges.insert(moreChanges.end(), {kColour, N(1, 1)});
    CStitches dstColours(1), tvkColours(1);
    Fill(dstColours, changes);
    Fill(tvkColours, moreChanges);
    // 517 steps of 127: 65659 units, beyond the 16-bit extents of the PEC stitch section.
    CStitches widest(1);
    Fill(widest, std::vector<CStitch>(517, N(127, 0)));
    // Colour blocks one past what each holds: 257 for PEC, 128 for our PES
    // reader, 2001 for JEF (tvkColours); and the most each holds.
    auto colourBlocks = [](int blocks) {
        std::vector<CStitch> records = {N(1, 1)};
        for (int i = 1; i < blocks; ++i)
            records.insert(records.end(), {i % 2 ? kStop : kColour, N(1, 1)});
        auto stitches = std::make_unique<CStitches>(1);
        Fill(*stitches, records);
        return stitches;
    };
    auto const pecColours = colourBlocks(257), pesColours = colourBlocks(128);
    struct Case {
        char const* name;
        CStitches* stitches;
        SF::Format format;
        int status;
    } const cases[] = {
        {"DST records", &tooMany, SF::FormatDST, SF::kSaveStatusTooManyRecords},
        {"EXP records", &tooMany, SF::FormatEXP, SF::kSaveStatusTooManyRecords},
        {"10o records", &tooMany, SF::Format10o, SF::kSaveStatusTooManyRecords},
        {"PCS needle records", &tooMany, SF::FormatPCS, SF::kSaveStatusTooManyRecords},
        {"TVK records", &tooMany, SF::FormatTVK, SF::kSaveStatusTooManyRecords},
        {"VIP records", &tooMany, SF::FormatVIP, SF::kSaveStatusTooManyRecords},
        {"DST extent", &wider, SF::FormatDST, SF::kSaveStatusTooLarge},
        {"TVK box", &wide, SF::FormatTVK, SF::kSaveStatusTooLarge},
        {"VIP box", &wide, SF::FormatVIP, SF::kSaveStatusTooLarge},
        {"DST colour changes and stops", &dstColours, SF::FormatDST, SF::kSaveStatusTooManyColours},
        {"TVK colours", &tvkColours, SF::FormatTVK, SF::kSaveStatusTooManyColours},
        {"VIP colours", &tvkColours, SF::FormatVIP, SF::kSaveStatusTooManyColours},
        {"PEC records", &tooMany, SF::FormatPEC, SF::kSaveStatusTooManyRecords},
        {"PES records", &tooMany, SF::FormatPES, SF::kSaveStatusTooManyRecords},
        {"JEF records", &tooMany, SF::FormatJEF, SF::kSaveStatusTooManyRecords},
        {"PEC extents", &widest, SF::FormatPEC, SF::kSaveStatusTooLarge},
        {"PES extents", &widest, SF::FormatPES, SF::kSaveStatusTooLarge},
        {"PEC colours and stops", pecColours.get(), SF::FormatPEC, SF::kSaveStatusTooManyColours},
        {"PES colours and stops", pesColours.get(), SF::FormatPES, SF::kSaveStatusTooManyColours},
        {"JEF colours", &tvkColours, SF::FormatJEF, SF::kSaveStatusTooManyColours},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRetriever out;
        EXPECT_EQ(c.stitches->Save(out, c.format, nullptr, nullptr, codec.get()), c.status);
        EXPECT_TRUE(out.Written().empty());
    }

    // One less is written.
    struct Fits {
        int blocks;
        SF::Format format;
    } const fits[] = {{256, SF::FormatPEC}, {127, SF::FormatPES}, {2000, SF::FormatJEF}};
    for (Fits const& f : fits) {
        SCOPED_TRACE(SF::FormatName(f.format));
        MemoryRetriever out;
        EXPECT_EQ(colourBlocks(f.blocks)->Save(out, f.format, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
        EXPECT_FALSE(out.Written().empty());
    }
}

TEST(Writers, OutputAndCodecFailures)
{
    auto const codec = SF::MakeTvkVipCodec();
    for (SF::Format const format : {SF::FormatDST, SF::FormatEXP, SF::Format10o, SF::FormatPCS, SF::FormatTVK,
                                    SF::FormatVIP, SF::FormatPEC, SF::FormatPES, SF::FormatJEF}) {
        SCOPED_TRACE(SF::FormatName(format));
        CStitches stitches(1);
        Fill(stitches, {N(1, 1), kEnd});
        NoOutput none;
        EXPECT_EQ(stitches.Save(none, format, nullptr, nullptr, codec.get()), SF::kSaveStatusNoOutput);
        EXPECT_TRUE(none.stream.Content().empty());
        FullDisk full;
        EXPECT_EQ(stitches.Save(full, format, nullptr, nullptr, codec.get()), SF::kSaveStatusWriteFailed);
        if (format == SF::FormatTVK || format == SF::FormatVIP) {
            MemoryRetriever out;
            EXPECT_EQ(stitches.Save(out, format, nullptr, nullptr, nullptr), SF::kSaveStatusWriteFailed);
            EXPECT_TRUE(out.Written().empty());
        }
    }
}

// ---- the save entry ----

TEST(Save, StatusesOfTheEntry)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), PointI{0, 0}, false);
    design.AddStitch(CAbsStitch{PointI{10, 10}, 0, CAbsStitch::Normal, false, true});
    CSimpleDesign empty;
    empty.AddColourStitch(ColourData::Default(), PointI{0, 0}, false);
    CSimpleDesign farFlung = design;
    farFlung.AddStitch(CAbsStitch{PointI{2'000'000'000, 0}, 0, CAbsStitch::Normal, false, true});

    struct Case {
        char const* name;
        IDesign const* design;
        int format;
        int status;
    } const cases[] = {
        {"DST", &design, SF::FormatDST, SF::kSaveStatusOK},
        {"no stitches", &empty, SF::FormatDST, SF::kSaveStatusEmpty},
        {"a move no format holds", &farFlung, SF::FormatEXP, SF::kSaveStatusTooManyRecords},
        {"PES", &design, SF::FormatPES, SF::kSaveStatusOK},
        {"PEC", &design, SF::FormatPEC, SF::kSaveStatusOK},
        {"JEF", &design, SF::FormatJEF, SF::kSaveStatusOK},
        {"PES, no stitches", &empty, SF::FormatPES, SF::kSaveStatusEmpty},
        {"SEW", &design, SF::FormatSEW, SF::kSaveStatusNoWriter},
        {"XXX", &design, SF::FormatXXX, SF::kSaveStatusNoWriter},
        {"SHV", &design, SF::FormatSHV, SF::kSaveStatusNoWriter},
        {"DHV", &design, SF::FormatDHV, SF::kSaveStatusNoWriter},
        {"ART", &design, SF::FormatART, SF::kSaveStatusNoWriter},
        {"no such format", &design, 14, SF::kSaveStatusNoWriter},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRetriever out;
        EXPECT_EQ(SF::Save(*c.design, out, static_cast<SF::Format>(c.format), nullptr, nullptr, nullptr), c.status);
        EXPECT_EQ(out.Written().empty(), c.status != SF::kSaveStatusOK);
    }
}

TEST(Save, ColourChangesGoWhereMachinesExpectThem)
{
    // Loaded designs start each colour on its first stitch; the file has the
    // change on the last stitch of the colour before and the first stitch of
    // the new colour as a stitch of its own, so both needle points survive.
    CSimpleDesign design;
    ColourData colour = ColourData::Default();
    design.AddColourStitch(colour, PointI{0, 0}, false);
    design.AddStitch(CAbsStitch{PointI{10, 0}, 0, CAbsStitch::Normal, false, true});
    design.AddColourStitch(colour, PointI{10, 30}, false);
    design.AddStitch(CAbsStitch{PointI{20, 30}, 1, CAbsStitch::Normal, false, true});
    MemoryRetriever out;
    ASSERT_EQ(SF::Save(design, out, SF::Format10o, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
    // Design centre (10, 15): a jump there, stitches to (0, 0) and (10, 0), the
    // change, a stitch to (10, 30) and one to (20, 30); y counts upwards.
    Bytes const expected = {0xD0, 0x0F, 0x0A, 0xA0, 0x0F, 0x0A, 0x80, 0x00, 0x0A, 0x85, 0x00, 0x00,
                            0xC0, 0x1E, 0x00, 0x80, 0x00, 0x0A, 0x87, 0x00, 0x00};
    EXPECT_EQ(out.Written(), expected);

    std::vector<std::shared_ptr<IDesign>> two = {std::make_shared<CSimpleDesign>(design),
                                                 std::make_shared<CSimpleDesign>(design)};
    MemoryRetriever merged;
    ASSERT_EQ(SF::Save(two, merged, SF::Format10o, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
    EXPECT_GT(merged.Written().size(), expected.size());
    // PES version 1 holds one block: the designs go into it merged.
    MemoryRetriever pes;
    ASSERT_EQ(SF::Save(two, pes, SF::FormatPES, nullptr, nullptr, nullptr), SF::kSaveStatusOK);
    MemoryStream pesFile(pes.Written());
    CSimpleDesign back;
    ASSERT_EQ(SF::Load(back, pesFile, 0, SF::FormatPES, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(back.GetColourCount(), 4u);
}

} // namespace
