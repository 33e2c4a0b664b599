// The ART reader against files built here by an independent writer: a
// compound file with a mini stream, a summary property set, and a "Contents"
// stream whose points are coded by an encoder of the predictive coder that
// knows nothing of the reader. The corpus design checks the real layout.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Art.h"
#include "ArtTestImages.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormatsTesting.h"
#include "ZLibTesting.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace SF = Brodix::StitchFormats;
namespace Art = BerninaART;
using Bytes = std::vector<uint8_t>;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;
using StitchFormatsTesting::ReadFile;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;
using StitchFormatsTesting::ZLibInflater;

char const* const kCorpusArt = "../shared/corpus/art/02_Cozy_Slippers_.ART";

using namespace ArtTestImages;

int LoadArt(Bytes bytes, CStitches& stitches, SF::IZLib* zlib)
{
    MemoryStream stream(std::move(bytes));
    return stitches.BerninaLoad(stream, zlib);
}

Record N(int dx, int dy) { return {STITCH_NORMAL, dx, dy}; }
Record J(int dx, int dy) { return {STITCH_JUMP, dx, dy}; }
Record const C{STITCH_COLOUR, 0, 0};

// ---- the coder ----

TEST(ArtDecoder, CodesFollowTheFormat)
{
    struct Case {
        char const* what;
        Bytes data;
        std::vector<int32_t> xs, ys;
    } const cases[] = {
        {"an extended x code of 0x18 adds a magnitude of 2", {0x08, 0x01}, {2}, {0}},
        {"code 0 repeats the previous delta", {0x22, 0x00, 0x00}, {1, 2, 3}, {1, 2, 3}},
        {"odd small codes turn the change negative", {0x31, 0x75}, {-1, -5}, {-2, -8}},
        {"a two-byte extension carries seven low bits", {0x08, 0x81, 0x01}, {2 * (1 + 128)}, {0}},
        {"x extension before y extension", {0x88, 0x01, 0x02}, {2}, {4}},
        {"a missing extension byte ends the data without that point", {0x22, 0x08}, {1}, {1}},
    };
    for (Case const& c : cases) {
        std::vector<int32_t> xs, ys;
        Art::DecodingStitchData(c.data, xs, ys, 100);
        EXPECT_EQ(xs, c.xs) << c.what;
        EXPECT_EQ(ys, c.ys) << c.what;
    }
}

TEST(ArtDecoder, DecodesWhatAnIndependentEncoderWrote)
{
    std::mt19937 random(11);
    std::vector<Point> points;
    Point p{0, 0};
    for (int i = 0; i < 5000; ++i) {
        // Mostly small steps, some long moves either way, some repeats.
        int const kind = int(random() % 4);
        int const reach = kind == 0 ? 30000 : kind == 1 ? 200 : 4;
        p.x += int(random() % (2 * reach + 1)) - reach;
        p.y += int(random() % (2 * reach + 1)) - reach;
        points.push_back(p);
    }
    Bytes const coded = EncodePoints(points);
    std::vector<int32_t> xs, ys;
    ASSERT_EQ(Art::DecodingStitchData(coded, xs, ys, points.size()), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(xs[i], points[i].x) << i;
        ASSERT_EQ(ys[i], points[i].y) << i;
    }
    EXPECT_EQ(Art::DecodingStitchData(coded, xs, ys, 7), 7u) << "stops after the asked count";
}

TEST(ArtDecoder, DescramblingRotatesThenCombinesWithTheKey)
{
    Bytes bytes = {0x00, 0x80, 0x01, 0xFF, 0x52};
    Art::ARTCrypt_Decrypt(bytes);
    EXPECT_EQ(bytes, (Bytes{0xA5, 0xA4, 0xA7, 0x5A, 0x01}));
}

TEST(ArtDecoder, ContentHeaderIsCheckedBeforeItsPointsAreTrusted)
{
    Bytes const good = ContentBlock({{1, 1}, {2, 2}}, 2);
    auto const header = Art::VerifyContentDataHeader(good);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->pointCount, 2);
    EXPECT_EQ(header->dataOffset, 116u);

    struct Case {
        char const* what;
        std::size_t at;
        uint32_t value;
    } const cases[] = {
        {"signature", 0, 0x193866DF},
        {"header size", 4, 117},
        {"refused mark", 16, 73},
        {"checksum", 112, 0},
        {"coded data past the block", 28, 1000},
    };
    for (Case const& c : cases) {
        Bytes bad = good;
        Put32(bad, c.at, c.value);
        if (c.at != 112) {   // keep the checksum right, so that the field itself is what fails
            int64_t sum = 0;
            for (int i = 0; i < 28; ++i)
                sum += uint32_t(bad[4 * i] | bad[4 * i + 1] << 8 | bad[4 * i + 2] << 16 | bad[4 * i + 3] << 24);
            Put32(bad, 112, uint32_t(sum));
        }
        EXPECT_FALSE(Art::VerifyContentDataHeader(bad)) << c.what;
    }
    EXPECT_FALSE(Art::VerifyContentDataHeader(std::span(good).first(116))) << "shorter than 117 bytes";
}

// Counts calls and never inflates: shows when a size is refused before zlib is asked.
class RefusingZLib : public SF::IZLib {
public:
    bool Uncompress(char*, std::size_t&, char const*, unsigned) override
    {
        ++calls;
        return false;
    }
    int calls = 0;
};

TEST(ArtDecoder, InflatedSizeIsBoundedByTheData)
{
    RefusingZLib zlib;
    Bytes block;
    Bytes stream = {0, 0, 0, 0, 1, 2, 3, 4};
    Put32(stream, 0, 4 * 1032 + 1);
    EXPECT_FALSE(Art::DecompressData(stream, &zlib, block));
    Put32(stream, 0, 50'000'001);
    stream.resize(100'000);
    EXPECT_FALSE(Art::DecompressData(stream, &zlib, block));
    EXPECT_EQ(zlib.calls, 0);
    Put32(stream, 0, 4 * 1032);
    EXPECT_FALSE(Art::DecompressData(stream, &zlib, block));
    EXPECT_EQ(zlib.calls, 1);
    EXPECT_FALSE(Art::DecompressData(stream, nullptr, block)) << "without zlib nothing is content";
}

// ---- the compound file ----

TEST(ArtCompoundFile, StreamsComeBackFromSectorsAndMiniSectors)
{
    Bytes big(5000), small(100);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 7);
    for (std::size_t i = 0; i < small.size(); ++i)
        small[i] = uint8_t(i * 3);
    Bytes const file = BuildCompoundFile({{u"Big", big}, {u"Small", small}, {u"Empty", {}}}).bytes;
    Art::CompoundFile compound(file);
    ASSERT_EQ(compound.Open(), 0);
    EXPECT_EQ(compound.ReadStream(u"Big"), big);
    EXPECT_EQ(compound.ReadStream(u"Small"), small);
    EXPECT_EQ(compound.ReadStream(u"Empty"), Bytes{});
    EXPECT_EQ(compound.ReadStream(u"Sma", true), small);
    EXPECT_FALSE(compound.ReadStream(u"Sma"));
    EXPECT_FALSE(compound.ReadStream(u"Missing"));
}

TEST(ArtCompoundFile, BrokenChainsAndExtentsGiveNoStream)
{
    Bytes const data(5000, 0x5A);
    struct Case {
        char const* what;
        void (*spoil)(Cfb&);
    } const cases[] = {
        {"a chain that loops on itself", [](Cfb& f) { SetTableEntry(f.bytes, f.starts[0] + 1, f.starts[0]); }},
        {"a chain that ends early", [](Cfb& f) { SetTableEntry(f.bytes, f.starts[0] + 1, kEnd); }},
        {"a chain that leaves the table", [](Cfb& f) { SetTableEntry(f.bytes, f.starts[0], 0x00FFFFFF); }},
        {"a size beyond the chain",
         [](Cfb& f) { Put32(f.bytes, EntryAt(1) + 120, 0xFFFFFFF0); }},
        {"a file cut inside the stream", [](Cfb& f) { f.bytes.resize(f.bytes.size() - 2048); }},
    };
    for (Case const& c : cases) {
        Cfb file = BuildCompoundFile({{u"Data", data}});
        c.spoil(file);
        Art::CompoundFile compound(file.bytes);
        ASSERT_EQ(compound.Open(), 0) << c.what;
        EXPECT_FALSE(compound.ReadStream(u"Data")) << c.what;
    }
}

TEST(ArtCompoundFile, HeaderAndIndexSectorsDecideTheStatus)
{
    EXPECT_EQ(Art::CompoundFile(Bytes(511, 0)).Open(), Art::kStatusNotCompoundFile) << "shorter than a header";
    Bytes file = BuildCompoundFile({{u"Data", Bytes(10, 1)}}).bytes;
    Bytes notCompound = file;
    notCompound[7] = 0;
    EXPECT_EQ(Art::CompoundFile(notCompound).Open(), Art::kStatusNotCompoundFile);
    Bytes badShift = file;
    Put16(badShift, 30, 40);
    EXPECT_EQ(Art::CompoundFile(badShift).Open(), Art::kStatusNotCompoundFile);

    // More sectors than the 109 header table sectors describe: the rest of the
    // table comes from index sectors.
    Bytes large(512 + (109 * 128 + 1) * 512, 0);
    std::copy(file.begin(), file.begin() + 512, large.begin());
    Put32(large, 68, 109 * 128 + 5000);
    EXPECT_EQ(Art::CompoundFile(large).Open(), CStitches::kStatusRefused) << "an index sector past the file";
    Put32(large, 68, 7);
    EXPECT_EQ(Art::CompoundFile(large).Open(), 0) << "an index sector inside the file";
}

// ---- the property set ----

TEST(ArtPropertySet, NamedValuesOfTheirListedTypeAreKept)
{
    Bytes const set = PropertySet({Long("longest stitch in design", 77), Double("shortest stitch in design", 3.0),
                                   Double("thread length", 12.5), Long("bobbin length", 9),
                                   Blob("unit conversion info", Bytes(15, 1)), Long("infostore", 4),
                                   Long("x", 5), Long("number of colours", 6)});
    Art::PropertiesARTFile properties;
    ASSERT_TRUE(Art::ReadPropertySet(set, properties));
    EXPECT_EQ(properties.longestStitch, 77);
    EXPECT_EQ(properties.shortestStitch, 0) << "a float where an integer belongs is ignored";
    EXPECT_DOUBLE_EQ(properties.threadLength, 12.5);
    EXPECT_DOUBLE_EQ(properties.bobbinLength, 0.0);
    EXPECT_FALSE(properties.hasUnitConversion) << "the conversion blob holds exactly two floats";
    EXPECT_EQ(properties.numberOfColours, 6);

    Bytes wrongClass = set;
    wrongClass[8] ^= 1;
    EXPECT_FALSE(Art::ReadPropertySet(wrongClass, properties));
    Bytes oversized = set;
    Put32(oversized, 48, uint32_t(set.size()));
    EXPECT_FALSE(Art::ReadPropertySet(oversized, properties)) << "a section larger than the stream";
}

// Every name is looked up once among the pairs: a set of many names stays
// quick, and of names given twice the later value stands.
TEST(ArtPropertySet, ManyNamesAreReadInOnePass)
{
    std::vector<Property> many;
    for (int i = 0; i < 100'000; ++i)
        many.push_back(Long("longest stitch in design", i));
    Art::PropertiesARTFile properties;
    ASSERT_TRUE(Art::ReadPropertySet(PropertySet(many), properties));
    EXPECT_EQ(properties.longestStitch, 99'999);
}

// ---- the corpus design ----

TEST(ArtCorpus, ContentsInflateToTheStitchBlock)
{
    Bytes const file = ReadFile(kCorpusArt);
    ASSERT_FALSE(file.empty());
    Art::CompoundFile compound(file);
    ASSERT_EQ(compound.Open(), 0);
    std::optional<Bytes> contents = compound.ReadStream(u"Contents");
    ASSERT_TRUE(contents);
    Art::ARTCrypt_Decrypt(*contents);
    ZLibInflater zlib;
    Bytes block;
    ASSERT_TRUE(Art::DecompressData(*contents, &zlib, block));
    ASSERT_GE(block.size(), 8u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 8), (Bytes{0xDE, 0x66, 0x38, 0x19, 116, 0, 0, 0}));
    auto const header = Art::VerifyContentDataHeader(block);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->pointCount, 8084);

    std::optional<Bytes> const set = compound.ReadStream(u"\u0005WilcomDesignInformation", true);
    ASSERT_TRUE(set);
    Art::PropertiesARTFile properties;
    ASSERT_TRUE(Art::ReadPropertySet(*set, properties));
    EXPECT_EQ(properties.sequenceList.size(), 7 * 796u);
    EXPECT_EQ(properties.longestStitch, 1674);
    EXPECT_EQ(properties.numberOfStitches, 8084);
    EXPECT_EQ(properties.embroideryMachineName, "Bernina");
    EXPECT_TRUE(properties.hasUnitConversion);
    EXPECT_DOUBLE_EQ(properties.designWidth, 17280.0);
}

TEST(ArtCorpus, SlippersLoadWithTheirSequenceColours)
{
    MemoryStream stream(ReadFile(kCorpusArt));
    CStitches stitches(0);
    ZLibInflater zlib;
    ASSERT_EQ(stitches.Load(stream, SF::FormatART, nullptr, nullptr, &zlib, nullptr), CStitches::kStatusOk);
    unsigned const colours[] = {0xF5FFFF, 0x99F5FF, 0x33CCF0, 0x4B4B4B, 0xF5FFFF, 0x96B2FF, 0xCCFFDC};
    ASSERT_EQ(stitches.GetNumberColours(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(stitches.GetColour(i), colours[i]) << i;
        EXPECT_EQ(stitches.GetManufacturer(i), 3) << i;
    }
    // The property set gives the size: 17280 by 5112 units at 1/180 mm, y stored at twice the resolution.
    EXPECT_NEAR(stitches.GetDesignWidth(), 960, 2);
    EXPECT_NEAR(stitches.GetDesignHeight(), 284, 2);
    EXPECT_GE(stitches.GetCount(), 8000);

    MemoryStream again(ReadFile(kCorpusArt));
    CStitches withoutZLib(0);
    EXPECT_EQ(withoutZLib.BerninaLoad(again, nullptr), CStitches::kStatusOk);
    EXPECT_EQ(withoutZLib.GetActualColourCount(), 6) << "only the colour changes, no points";
}

TEST(ArtCorpus, DamagedCopiesNeverCrash)
{
    Bytes const original = ReadFile(kCorpusArt);
    ASSERT_FALSE(original.empty());
    ZLibInflater zlib;
    auto load = [&](Bytes bytes) {
        MemoryStream stream(std::move(bytes));
        CStitches stitches(0);
        int const status = stitches.Load(stream, SF::FormatART, nullptr, nullptr, &zlib, nullptr);
        EXPECT_TRUE(status == 0 || status == 2 || status == 4 || status == 5) << status;
    };
    for (std::size_t length = 0; length < original.size(); length += 509)
        load(Bytes(original.begin(), original.begin() + std::ptrdiff_t(length)));
    std::mt19937 random(8);
    for (int i = 0; i < 300; ++i) {
        Bytes damaged = original;
        for (int k = 0; k < 8; ++k)
            damaged[random() % damaged.size()] = uint8_t(random());
        load(std::move(damaged));
    }
}

// ---- loading built designs ----

TEST(ArtLoad, PointsBecomeRecordsColourBlockByBlock)
{
    ArtLayout art;
    art.points = {{0, 0}, {10, 20}, {30, 40}, {35, 44}};
    art.blocks = {{2, 0x0000FF}, {2, 0xFF0000}};
    CStitches stitches(0);
    ZLibInflater zlib;
    ASSERT_EQ(LoadArt(BuildArt(art), stitches, &zlib), 0);
    EXPECT_EQ(Records(stitches), (std::vector<Record>{N(10, 10), C, J(20, 10), N(5, 2)}));
    ASSERT_EQ(stitches.GetNumberColours(), 2);
    EXPECT_EQ(stitches.GetColour(0), 0x0000FFu);
    EXPECT_EQ(stitches.GetColour(1), 0xFF0000u);
    EXPECT_EQ(stitches.GetDefaultColourType(), 3);
}

TEST(ArtLoad, LeadingLongMovesAreTheMachineMovingIntoPlace)
{
    ArtLayout art;
    art.points = {{0, 0}, {100, 0}, {200, 0}, {203, 8}, {206, 16}};
    art.blocks = {{5, 0x00FF00}};
    CStitches stitches(0);
    ZLibInflater zlib;
    ASSERT_EQ(LoadArt(BuildArt(art), stitches, &zlib), 0);
    // Points 0 and 1 fall on point 2, the first with a short step to its successor.
    EXPECT_EQ(Records(stitches), (std::vector<Record>{N(0, 0), N(0, 0), N(3, 4), N(3, 4)}));
}

TEST(ArtLoad, LongStitchesAreSplitIntoRecordsThatFit)
{
    struct Case {
        char const* what;
        int32_t longest;
    } const cases[] = {
        {"longest stitch 50", 50},
        {"longest stitch beyond one record", 1000},
    };
    for (Case const& c : cases) {
        ArtLayout art;
        art.longest = c.longest;
        art.points = {{0, 0}, {10, 0}, {700, 900}, {700, 880}, {-300, -880}};
        art.blocks = {{5, 0}};
        CStitches stitches(0);
        ZLibInflater zlib;
        ASSERT_EQ(LoadArt(BuildArt(art), stitches, &zlib), 0) << c.what;
        int x = 0, y = 0;
        std::vector<Point> reached;
        for (Record const& r : Records(stitches)) {
            EXPECT_TRUE(r.flags == STITCH_NORMAL || r.flags == STITCH_JUMP) << c.what;
            x += r.dx;
            y += r.dy;
            if (r.flags == STITCH_NORMAL)
                reached.push_back({x, y});
        }
        ASSERT_FALSE(reached.empty()) << c.what;
        EXPECT_EQ(reached.back().x, -300) << c.what;
        EXPECT_EQ(reached.back().y, -440) << c.what;
    }
}

TEST(ArtLoad, FilesWithoutWhatTheyNeedAreRefusedOrEmpty)
{
    ArtLayout base;
    base.points = {{0, 0}, {10, 10}, {20, 20}};
    base.blocks = {{3, 0x123456}};
    struct Case {
        char const* what;
        void (*change)(ArtLayout&);
        int status;
        int records;
    } const cases[] = {
        {"as built", [](ArtLayout&) {}, 0, 2},
        {"no unit conversion", [](ArtLayout& s) { s.unit.reset(); }, CStitches::kStatusRefused, 0},
        {"unit conversion of zero", [](ArtLayout& s) { s.unit = 0.0; }, CStitches::kStatusRefused, 0},
        {"no longest stitch", [](ArtLayout& s) { s.longest.reset(); }, CStitches::kStatusRefused, 0},
        {"negative longest stitch", [](ArtLayout& s) { s.longest = -5; }, CStitches::kStatusRefused, 0},
        {"stored in another form", [](ArtLayout& s) { s.aux = {3, 0, 0, 0, 0}; }, Art::kStatusOtherStorage, 0},
        {"nine-byte storage note", [](ArtLayout& s) { s.aux = {1, 0, 0, 0, 0, 0, 0, 0, 0}; }, 0, 2},
        {"four-byte storage note is ignored", [](ArtLayout& s) { s.aux = {1, 0, 0, 0}; }, 0, 0},
        {"six-byte storage note is ignored", [](ArtLayout& s) { s.aux = {3, 0, 0, 0, 0, 0}; }, 0, 0},
        {"storage kind 2 has no points", [](ArtLayout& s) { s.aux = {2, 0, 0, 0, 0}; }, 0, 0},
        {"no points declared", [](ArtLayout& s) { s.declaredPoints = 0; }, 0, 0},
        {"more points declared than the limit",
         [](ArtLayout& s) { s.declaredPoints = CStitches::kMaxStitchCount + 1; }, CStitches::kStatusRefused, 0},
        {"more points declared than coded", [](ArtLayout& s) { s.declaredPoints = 4'000'000; }, 0, 2},
    };
    for (Case const& c : cases) {
        ArtLayout art = base;
        c.change(art);
        CStitches stitches(0);
        ZLibInflater zlib;
        EXPECT_EQ(LoadArt(BuildArt(art), stitches, &zlib), c.status) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(stitches.GetCount(), c.records) << c.what;
            EXPECT_EQ(stitches.GetNumberColours(), 1) << c.what;
        }
    }
}

TEST(ArtLoad, TooManyColourBlocksAreRefused)
{
    ArtLayout art;
    art.points = {{0, 0}};
    art.blocks.assign(CStitches::kMaxColourCount + 1, Block{0, 0});
    CStitches stitches(0);
    ZLibInflater zlib;
    EXPECT_EQ(LoadArt(BuildArt(art), stitches, &zlib), CStitches::kStatusRefused);
}

TEST(ArtLoad, RecordsBeyondTheStitchLimitAreRefused)
{
    // A move of millions of units with a longest stitch of one unit needs more
    // records than any design may have.
    ArtLayout art;
    art.unit = 0.1;
    art.longest = 1;
    art.points = {{0, 0}, {0, 0}};
    for (int k = 1; k <= 100; ++k)
        art.points.push_back({60'000 * k, 0});
    art.blocks = {{102, 0}};
    CStitches stitches(0);
    ZLibInflater zlib;
    EXPECT_EQ(LoadArt(BuildArt(art), stitches, &zlib), CStitches::kStatusRefused);
}

TEST(ArtLoad, ShortOrForeignFilesAreNotCompoundFiles)
{
    CStitches stitches(0);
    ZLibInflater zlib;
    EXPECT_EQ(LoadArt(Bytes(100, 0xD0), stitches, &zlib), Art::kStatusNotCompoundFile);
    EXPECT_EQ(LoadArt(Bytes(2000, 0x41), stitches, &zlib), Art::kStatusNotCompoundFile);
}

} // namespace
