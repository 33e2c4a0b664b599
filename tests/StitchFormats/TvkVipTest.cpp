// The TVK and VIP readers: the corpus files (each VIP design checked against
// its TVK twin), files built here with the format's own compressor and
// scrambler, and the damaged headers, extents and notes the readers refuse.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/CryptoBlackBox.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StitchFormats/TvkVipHelpers.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormatsTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

namespace SF = Brodix::StitchFormats;
using Bytes = std::vector<uint8_t>;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;
using StitchFormatsTesting::Put16;
using StitchFormatsTesting::Put32;
using StitchFormatsTesting::ReadFile;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;
using StitchFormatsTesting::Win1252Encoding;

constexpr int kStreamFailed = TvkVipHelpers::kStatusStreamFailed;
constexpr int kWrongVersion = TvkVipHelpers::kStatusWrongVersion;
constexpr int kInvertedBox = TvkVipHelpers::kStatusInvertedBox;


void Append(Bytes& b, Bytes const& more) { b.insert(b.end(), more.begin(), more.end()); }

// ---- files built with the format's compressor and scrambler ----

Bytes Compressed(SF::ITvkVipCodec& codec, std::vector<char> data)
{
    std::vector<char> out;
    EXPECT_TRUE(codec.Compress("section", data.data(), data.size(), out));
    return Bytes(out.begin(), out.end());
}

// The header with the box of the records' running sums, then tables, then the three streams.
Bytes BuildFile(uint16_t version, std::vector<Record> const& records, int colours, Bytes const& tables,
                Bytes const& shortNotes = {})
{
    auto codec = SF::MakeTvkVipCodec();
    Bytes file(42, 0);
    Put16(file, 0, 44891);
    Put16(file, 2, version);
    Put32(file, 4, uint32_t(records.size()));
    Put16(file, 8, uint16_t(colours));
    int x = 0, y = 0, minX = 0, minY = 0, maxX = 0, maxY = 0;
    std::vector<char> flags, dx, dy;
    for (Record const& r : records) {
        x += r.dx;
        y += r.dy;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
        flags.push_back(char(r.flags));
        dx.push_back(char(r.dx));
        dy.push_back(char(r.dy));
    }
    Put16(file, 12, uint16_t(maxX));
    Put16(file, 14, uint16_t(maxY));
    Put16(file, 16, uint16_t(minX));
    Put16(file, 18, uint16_t(minY));
    std::copy(shortNotes.begin(), shortNotes.end(), file.begin() + 32);
    Append(file, tables);
    for (int i = 0; i < 3; ++i) {
        Put32(file, 20 + 4 * i, uint32_t(file.size()));
        Append(file, Compressed(*codec, i == 0 ? flags : i == 1 ? dx : dy));
    }
    return file;
}

Bytes BuildTvk(std::vector<Record> const& records, std::vector<uint16_t> const& indices, Bytes const& shortNotes = {})
{
    Bytes tables;
    for (uint16_t index : indices)
        Put16(tables, tables.size(), index);
    return BuildFile(200, records, int(indices.size()), tables, shortNotes);
}

std::string VipPassword()
{
    char text[80];
    std::snprintf(text, sizeof text, "%d%d%d%d%d%d%d", 12921000, 463, 323025, 463, 12921000, 323025, 463);
    return text;
}

Bytes NotesBlock(std::u16string const& units, uint32_t count)
{
    Bytes block;
    Put32(block, 0, count);
    for (char16_t unit : units)
        Put16(block, block.size(), unit);
    return block;
}

// Colours, types and a notes block of units (with their count) after the tables.
Bytes BuildVip(std::vector<Record> const& records, std::vector<unsigned> const& rgbs,
               std::vector<int32_t> const& types, std::u16string const& notes, uint32_t notesCount)
{
    Bytes rgb;
    for (unsigned value : rgbs)
        Put32(rgb, rgb.size(), value);
    CryptoBlackBox scrambler;
    scrambler.SetPassword(VipPassword().c_str());
    scrambler.SetDir(CryptoBlackBox::DirEncrypt);
    scrambler.SetMode(CryptoBlackBox::ModeChained);
    if (!rgb.empty())
        scrambler.TransformBuf(reinterpret_cast<char*>(rgb.data()), int(rgb.size()));
    Bytes tables(4, 0);   // the notes offset, filled in below
    Append(tables, rgb);
    for (int32_t type : types)
        Put32(tables, tables.size(), uint32_t(type));
    Put32(tables, 0, uint32_t(42 + tables.size()));
    Append(tables, NotesBlock(notes, notesCount));
    return BuildFile(400, records, int(rgbs.size()), tables);
}

int LoadAs(SF::Format format, Bytes bytes, CStitches& stitches, bool withCodec = true)
{
    auto codec = SF::MakeTvkVipCodec();
    Win1252Encoding encoding;
    MemoryStream stream(std::move(bytes));
    return stitches.Load(stream, format, &encoding, withCodec ? codec.get() : nullptr, nullptr, nullptr);
}

constexpr uint8_t N = STITCH_NORMAL;
constexpr uint8_t J = STITCH_JUMP;
constexpr uint8_t C = STITCH_COLOUR;
constexpr uint8_t T = STITCH_TRIM;
constexpr uint8_t E = STITCH_END;

std::vector<Record> const kDesign = {{J, 100, -40}, {N, 5, 5},   {N, -127, 127}, {T, 0, 0}, {C, 0, 0},
                                     {N, 3, -3},    {N, 0, 1},   {STITCH_STOP, 0, 0}, {C, 0, 0},
                                     {N, 60, 60},   {E, 0, 0}};

// ---- corpus ----

struct CorpusCase {
    char const* file;
    SF::Format format;
    int status;
    std::wstring notes;
    std::vector<unsigned> colours;   // VIP only; TVK colours are palette entries
};

// synthetic.tvk comes from a converter that does not compress its streams the
// way the format does (its block count is stored in the wrong byte order and
// its position code is incomplete), so the compressor refuses it.
CorpusCase const kCorpus[] = {
    {"tvk/01Peacock.tvk", SF::FormatTVK, 0, L"01Peacoc", {}},
    {"tvk/Bean.tvk", SF::FormatTVK, 0, L"Bean", {}},
    {"tvk/Cake_3.tvk", SF::FormatTVK, 0, L"Cake3", {}},
    {"tvk/Embroidermodder.tvk", SF::FormatTVK, 0, L"Embroide", {}},
    {"tvk/Embroidermodder_conflicts.tvk", SF::FormatTVK, 0, L"", {}},
    {"tvk/Star.tvk", SF::FormatTVK, 0, L"", {}},
    {"tvk/geometric_objects.tvk", SF::FormatTVK, 0, L"", {}},
    {"tvk/rectangle.tvk", SF::FormatTVK, 0, L"rectangl", {}},
    {"tvk/shamrockin.tvk", SF::FormatTVK, 0, L"Untitled", {}},
    {"tvk/synthetic.tvk", SF::FormatTVK, kStreamFailed, L"", {}},
    // Their TVK twins name the palette's blue; red and white; blue, pale
    // yellow, magenta and light blue; light blue; green.
    {"vip/Embroidermodder.vip", SF::FormatVIP, 0, L"Embroidermodder", {0xFF0000}},
    {"vip/Star.VIP", SF::FormatVIP, 0, L"", {0x1F31E3, 0xF7F3F7}},
    {"vip/geometric_objects.vip", SF::FormatVIP, 0, L"geometric_objects", {0xC80000, 0x80F3FF, 0xFF00FF, 0xFFCA82}},
    {"vip/rectangle.vip", SF::FormatVIP, 0, L"rectangle", {0xFF8C10}},
    {"vip/shamrockin.vip", SF::FormatVIP, 0, L"Untitled", {0x00FF00}},
};

std::string CorpusPath(char const* file) { return std::string("../shared/corpus/") + file; }

TEST(TvkVipCorpus, FilesLoadAndTheirRecordsFillTheStoredBox)
{
    for (CorpusCase const& c : kCorpus) {
        SCOPED_TRACE(c.file);
        Bytes const bytes = ReadFile(CorpusPath(c.file));
        ASSERT_FALSE(bytes.empty());
        CStitches stitches(0);
        ASSERT_EQ(LoadAs(c.format, bytes, stitches), c.status);
        if (c.status != 0)
            continue;
        EXPECT_EQ(stitches.GetCount(), int(bytes[4] | bytes[5] << 8 | bytes[6] << 16));
        EXPECT_EQ(stitches.GetNumberColours(), int(bytes[8]));
        EXPECT_EQ(stitches.GetWideNotes(), c.notes);
        for (int i = 0; i < stitches.GetNumberColours(); ++i) {
            unsigned const rgb = stitches.GetColour(i);
            if (c.format == SF::FormatVIP) {
                ASSERT_LT(std::size_t(i), c.colours.size());
                EXPECT_EQ(rgb, c.colours[i]) << "colour " << i;
                EXPECT_EQ(stitches.GetManufacturer(i), 1) << "colour " << i;
            } else {
                EXPECT_EQ(GetTovenrikRGB(SF::GetClosestTovenrikToRGB(rgb)), rgb) << "colour " << i;
            }
        }
        // The writer stored the box of its records; ours must come out the same.
        int const box[] = {stitches.GetMinX(), stitches.GetMinY(), stitches.GetMaxX(), stitches.GetMaxY()};
        stitches.SizeDesign();
        EXPECT_EQ(stitches.GetMinX(), box[0]);
        EXPECT_EQ(stitches.GetMinY(), box[1]);
        EXPECT_EQ(stitches.GetMaxX(), box[2]);
        EXPECT_EQ(stitches.GetMaxY(), box[3]);
        EXPECT_GT(stitches.GetDesignWidth(), 0);
    }
}

// The VIP files have TVK twins: the same designs, and where the stitch
// counts agree, the same records.
TEST(TvkVipCorpus, VipDesignsMatchTheirTvkTwins)
{
    char const* const twins[][2] = {{"vip/Embroidermodder.vip", "tvk/Embroidermodder.tvk"},
                                    {"vip/Star.VIP", "tvk/Star.tvk"},
                                    {"vip/geometric_objects.vip", "tvk/geometric_objects.tvk"},
                                    {"vip/rectangle.vip", "tvk/rectangle.tvk"},
                                    {"vip/shamrockin.vip", "tvk/shamrockin.tvk"}};
    int compared = 0;
    for (auto const& twin : twins) {
        SCOPED_TRACE(twin[0]);
        CStitches vip(0), tvk(0);
        ASSERT_EQ(LoadAs(SF::FormatVIP, ReadFile(CorpusPath(twin[0])), vip), 0);
        ASSERT_EQ(LoadAs(SF::FormatTVK, ReadFile(CorpusPath(twin[1])), tvk), 0);
        EXPECT_EQ(vip.GetNumberColours(), tvk.GetNumberColours());
        if (vip.GetCount() == tvk.GetCount()) {
            EXPECT_EQ(Records(vip), Records(tvk));
            ++compared;
        }
    }
    EXPECT_GE(compared, 4);
}

// ---- built files ----

TEST(TvkVipLoad, TvkBuiltWithTheCompressorLoads)
{
    std::vector<uint16_t> const indices = {3, 12, 28};
    CStitches stitches(4);
    ASSERT_EQ(LoadAs(SF::FormatTVK, BuildTvk(kDesign, indices, {'A', 'b', 0xE9}), stitches), 0);
    EXPECT_EQ(Records(stitches), kDesign);
    ASSERT_EQ(stitches.GetNumberColours(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stitches.GetColour(i), GetTovenrikRGB(indices[i]));
        EXPECT_EQ(stitches.GetManufacturer(i), 4);
    }
    EXPECT_EQ(stitches.GetWideNotes(), L"Ab\u00e9");
    EXPECT_EQ(stitches.GetVersion(), 200);

    // Through the engine's entry, to a design of its own.
    auto codec = SF::MakeTvkVipCodec();
    MemoryStream stream(BuildTvk(kDesign, indices));
    Brodix::CSimpleDesign design;
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatTVK, nullptr, codec.get(), nullptr, nullptr), 0);
    EXPECT_EQ(design.GetColourCount(), 3u);
}

TEST(TvkVipLoad, VipBuiltWithTheScramblerLoads)
{
    std::vector<unsigned> const rgbs = {0x123456, 0x00FF00, 0xABCDEF};
    std::vector<int32_t> const types = {0, 5, 8};
    CStitches stitches(0);
    std::u16string const notes = std::u16string(u"Tr\u00e8s \U0001F9F5 fin") + u'\0';
    ASSERT_EQ(LoadAs(SF::FormatVIP, BuildVip(kDesign, rgbs, types, notes, uint32_t(notes.size())), stitches), 0);
    EXPECT_EQ(Records(stitches), kDesign);
    ASSERT_EQ(stitches.GetNumberColours(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stitches.GetColour(i), rgbs[i]);
        EXPECT_EQ(stitches.GetManufacturer(i), types[i]);
    }
    EXPECT_EQ(stitches.GetWideNotes(), L"Tr\u00e8s \U0001F9F5 fin");
}

TEST(TvkVipLoad, VipNotesBlocks)
{
    std::vector<Record> const records = {{N, 1, 1}};
    struct Case {
        char const* what;
        std::u16string units;
        uint32_t count;
        std::wstring notes;
    } const cases[] = {
        {"two letters and the terminator", {u'A', u'B', 0}, 3, L"AB"},
        {"an empty block", {}, 0, L""},
        {"text after the terminator is not notes", {u'A', 0, u'B'}, 3, L"A"},
        {"no terminator within the count", {u'A', u'B', u'C'}, 2, L"AB"},
        {"a count far beyond the data reads what is there", {u'x', u'y'}, 0x7FFFFFFF, L"xy"},
        {"unpaired surrogates are dropped", {u'a', 0xD83E, u'b', 0xDDF5, u'c', 0}, 6, L"abc"},
    };
    for (Case const& c : cases) {
        CStitches stitches(0);
        // The notes block is last, so a count beyond the data cannot reach the streams.
        Bytes file = BuildVip(records, {0xFF}, {1}, {}, 0);
        uint32_t const at = uint32_t(file.size());
        Put32(file, 42, at);
        Append(file, NotesBlock(c.units, c.count));
        ASSERT_EQ(LoadAs(SF::FormatVIP, file, stitches), 0) << c.what;
        EXPECT_EQ(stitches.GetWideNotes(), c.notes) << c.what;
    }
}

// ---- refused input ----

struct DamageCase {
    char const* what;
    void (*damage)(Bytes&);
    int tvkStatus;
    int vipStatus;
};

DamageCase const kDamage[] = {
    {"as built", [](Bytes&) {}, 0, 0},
    {"one more version", [](Bytes& f) { Put16(f, 2, uint16_t(f[2] | f[3] << 8) + 1); }, kWrongVersion, kWrongVersion},
    {"the other format's version", [](Bytes& f) { Put16(f, 2, f[2] == 200 ? 400 : 200); }, kWrongVersion,
     kWrongVersion},
    {"maximum x below minimum x", [](Bytes& f) { Put16(f, 12, uint16_t(-300)); }, kInvertedBox, kInvertedBox},
    {"maximum y below minimum y", [](Bytes& f) { Put16(f, 14, uint16_t(-300)); }, kInvertedBox, kInvertedBox},
    {"a box of one column", [](Bytes& f) { Put16(f, 12, 0), Put16(f, 16, 0); }, 0, 0},
    {"inverted box and wrong version", [](Bytes& f) { Put16(f, 12, uint16_t(-300)), Put16(f, 2, 1); },
     kWrongVersion, kInvertedBox},
    {"too many colours", [](Bytes& f) { Put16(f, 8, 2001); }, CStitches::kStatusRefused, CStitches::kStatusRefused},
    {"negative colour count", [](Bytes& f) { Put16(f, 8, uint16_t(-1)); }, CStitches::kStatusRefused,
     CStitches::kStatusRefused},
    {"too many stitches", [](Bytes& f) { Put32(f, 4, 5'000'001); }, CStitches::kStatusRefused,
     CStitches::kStatusRefused},
    {"negative stitch count", [](Bytes& f) { Put32(f, 4, uint32_t(-3)); }, CStitches::kStatusRefused,
     CStitches::kStatusRefused},
    {"one stitch more than the streams hold", [](Bytes& f) { Put32(f, 4, f[4] + 1u); }, kStreamFailed,
     kStreamFailed},
    {"a stream offset past the data", [](Bytes& f) { Put32(f, 24, uint32_t(f.size() + 10)); }, kStreamFailed,
     kStreamFailed},
    {"a negative stream offset", [](Bytes& f) { Put32(f, 28, uint32_t(-20)); }, kStreamFailed, kStreamFailed},
    {"a stream offset inside the header", [](Bytes& f) { Put32(f, 20, 4); }, kStreamFailed, kStreamFailed},
    {"streams cut short", [](Bytes& f) { f.resize(f.size() - 3); }, kStreamFailed, kStreamFailed},
    {"a header cut short", [](Bytes& f) { f.resize(40); }, CStitches::kStatusRefused, CStitches::kStatusRefused},
    {"the text marker of another program",
     [](Bytes& f) {
         char const marker[] = "SColourStitch";
         std::copy(marker, marker + 13, f.begin() + 30);
     },
     CStitches::kStatusRefused, CStitches::kStatusRefused},
    {"no colours", [](Bytes& f) { Put16(f, 8, 0); }, CStitches::kStatusRefused, CStitches::kStatusRefused},
    {"a notes offset past the data", [](Bytes& f) { Put32(f, 42, 0xFFFFFFF0); }, 0, 0},
};

TEST(TvkVipLoad, DamagedFilesAreRefusedWithTheirStatus)
{
    std::vector<Record> const records = {{N, 10, 10}, {C, 0, 0}, {N, -5, 3}};
    for (DamageCase const& c : kDamage) {
        Bytes tvk = BuildTvk(records, {1, 2});
        Bytes vip = BuildVip(records, {0xFF, 0xFF00}, {1, 1}, u"notes", 6);
        c.damage(tvk);
        c.damage(vip);
        CStitches fromTvk(0), fromVip(0);
        EXPECT_EQ(LoadAs(SF::FormatTVK, tvk, fromTvk), c.tvkStatus) << c.what;
        EXPECT_EQ(LoadAs(SF::FormatVIP, vip, fromVip), c.vipStatus) << c.what;
        if (c.vipStatus == kStreamFailed) {
            EXPECT_EQ(fromVip.GetCount(), 0) << c.what << ": the container is emptied";
            EXPECT_EQ(fromVip.GetNumberColours(), 0) << c.what;
        }
    }
}

TEST(TvkVipLoad, WithoutTheCodecNoStreamIsRead)
{
    std::vector<Record> const records = {{N, 10, 10}};
    CStitches tvk(0), vip(0);
    EXPECT_EQ(LoadAs(SF::FormatTVK, BuildTvk(records, {1}), tvk, false), kStreamFailed);
    EXPECT_EQ(LoadAs(SF::FormatVIP, BuildVip(records, {1}, {1}, {}, 0), vip, false), kStreamFailed);
}

TEST(TvkVipHelpers, ExtentsRunToTheNextOffsetOrTheEnd)
{
    MemoryStream stream(Bytes(500, 0));
    EXPECT_EQ(TvkVipHelpers::GetEndOfCompressedBuffer(stream, 100, 300, 200), 200);   // command
    EXPECT_EQ(TvkVipHelpers::GetEndOfCompressedBuffer(stream, 300, 200, 100), 500);   // x data
    EXPECT_EQ(TvkVipHelpers::GetEndOfCompressedBuffer(stream, 200, 100, 300), 300);   // y data
    EXPECT_EQ(TvkVipHelpers::GetEndOfCompressedBuffer(stream, 600, 100, 300), 500) << "ends before it starts";

    auto codec = SF::MakeTvkVipCodec();
    char out[4] = {1, 2, 3, 4};
    EXPECT_FALSE(TvkVipHelpers::ReadCompressedStitchData(stream, 600, 500, out, 4, "Command", codec.get()));
    EXPECT_FALSE(TvkVipHelpers::ReadCompressedStitchData(stream, 100, 200, out, 4, "Command", nullptr));
    EXPECT_EQ(std::string(out, 4), std::string("\1\2\3\4")) << "a refused stream writes nothing";
}

} // namespace
