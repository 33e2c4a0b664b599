// The ART reader against files built here by an independent writer: a
// compound file with a mini stream, a summary property set, and a "Contents"
// stream whose points are coded by an encoder of the predictive coder that
// knows nothing of the reader. The corpus design checks the real layout.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Art.h"
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
using StitchFormatsTesting::Put16;
using StitchFormatsTesting::Put32;
using StitchFormatsTesting::ReadFile;
using StitchFormatsTesting::Record;
using StitchFormatsTesting::Records;
using StitchFormatsTesting::ZLibInflater;

char const* const kCorpusArt = "../shared/corpus/art/02_Cozy_Slippers_.ART";


void Append32(Bytes& b, uint32_t v) { Put32(b, b.size(), v); }

void AppendDouble(Bytes& b, double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i)
        b.push_back(uint8_t(bits >> (8 * i)));
}

// ---- compound file writer: 512-byte sectors, 64-byte mini sectors ----

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kTableMark = 0xFFFFFFFD;

struct CfbStream {
    std::u16string name;
    Bytes data;
};

struct Cfb {
    Bytes bytes;
    std::vector<uint32_t> starts;   // first sector of each stream, as listed
};

Cfb BuildCompoundFile(std::vector<CfbStream> const& streams, uint32_t cutoff = 4096)
{
    auto sectorsOf = [](std::size_t n, std::size_t size) { return (n + size - 1) / size; };
    Bytes mini;
    std::vector<uint32_t> miniTable;
    std::vector<uint32_t> starts(streams.size(), kEnd);
    std::vector<std::size_t> big;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        std::size_t const n = streams[i].data.size();
        if (n == 0)
            continue;
        if (n >= cutoff) {
            big.push_back(i);
            continue;
        }
        starts[i] = uint32_t(miniTable.size());
        std::size_t const count = sectorsOf(n, 64);
        for (std::size_t k = 0; k < count; ++k)
            miniTable.push_back(k + 1 < count ? uint32_t(miniTable.size() + 1) : kEnd);
        Bytes padded = streams[i].data;
        padded.resize(count * 64, 0);
        mini.insert(mini.end(), padded.begin(), padded.end());
    }
    std::size_t const directorySectors = sectorsOf((streams.size() + 1) * 128, 512);
    std::size_t const miniTableSectors = sectorsOf(miniTable.size() * 4, 512);
    std::size_t const miniSectors = sectorsOf(mini.size(), 512);
    std::size_t bigSectors = 0;
    for (std::size_t i : big)
        bigSectors += sectorsOf(streams[i].data.size(), 512);
    std::size_t tableSectors = 1;
    while (tableSectors * 128 < tableSectors + directorySectors + miniTableSectors + miniSectors + bigSectors)
        ++tableSectors;
    std::size_t const total = tableSectors + directorySectors + miniTableSectors + miniSectors + bigSectors;

    std::vector<uint32_t> table(tableSectors * 128, kFree);
    uint32_t next = 0;
    auto chain = [&](std::size_t count) {
        if (count == 0)
            return kEnd;
        uint32_t const first = next;
        for (std::size_t k = 0; k < count; ++k, ++next)
            table[next] = k + 1 < count ? next + 1 : kEnd;
        return first;
    };
    for (std::size_t k = 0; k < tableSectors; ++k)
        table[next++] = kTableMark;
    uint32_t const directoryStart = chain(directorySectors);
    uint32_t const miniTableStart = chain(miniTableSectors);
    uint32_t const miniStart = chain(miniSectors);
    for (std::size_t i : big)
        starts[i] = chain(sectorsOf(streams[i].data.size(), 512));

    Bytes file(512 + total * 512, 0);
    uint8_t const signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(file.data(), signature, 8);
    Put16(file, 24, 0x3E);
    Put16(file, 26, 3);
    Put16(file, 28, 0xFFFE);
    Put16(file, 30, 9);
    Put16(file, 32, 6);
    Put32(file, 44, uint32_t(tableSectors));
    Put32(file, 48, directoryStart);
    Put32(file, 56, cutoff);
    Put32(file, 60, miniTableStart);
    Put32(file, 64, uint32_t(miniTableSectors));
    Put32(file, 68, kEnd);
    for (int i = 0; i < 109; ++i)
        Put32(file, 76 + 4 * i, std::size_t(i) < tableSectors ? uint32_t(i) : kFree);
    auto sectorAt = [](uint32_t k) { return 512 + std::size_t(k) * 512; };
    for (std::size_t i = 0; i < table.size(); ++i)
        Put32(file, sectorAt(uint32_t(i / 128)) + (i % 128) * 4, table[i]);
    for (std::size_t i = 0; i < miniTable.size(); ++i)
        Put32(file, sectorAt(miniTableStart + uint32_t(i / 128)) + (i % 128) * 4, miniTable[i]);
    std::copy(mini.begin(), mini.end(), file.begin() + std::ptrdiff_t(sectorAt(miniStart)));
    for (std::size_t i : big)
        std::copy(streams[i].data.begin(), streams[i].data.end(),
                  file.begin() + std::ptrdiff_t(sectorAt(starts[i])));

    auto writeEntry = [&](std::size_t index, std::u16string const& name, uint8_t type, uint32_t start,
                          uint32_t size) {
        std::size_t const at = sectorAt(directoryStart + uint32_t(index / 4)) + (index % 4) * 128;
        for (std::size_t k = 0; k < name.size(); ++k)
            Put16(file, at + 2 * k, name[k]);
        Put16(file, at + 64, uint16_t((name.size() + 1) * 2));
        file[at + 66] = type;
        Put32(file, at + 68, index < streams.size() ? uint32_t(index + 1) : kFree);   // right sibling
        Put32(file, at + 72, kFree);
        Put32(file, at + 76, index == 0 ? 1 : kFree);
        Put32(file, at + 116, start);
        Put32(file, at + 120, size);
    };
    writeEntry(0, u"Root Entry", 5, mini.empty() ? kEnd : miniStart, uint32_t(mini.size()));
    for (std::size_t i = 0; i < streams.size(); ++i)
        writeEntry(i + 1, streams[i].name, 2, starts[i], uint32_t(streams[i].data.size()));
    return {file, starts};
}

// For files of one table sector, which is sector 0, followed by the directory.
void SetTableEntry(Bytes& file, uint32_t sector, uint32_t value) { Put32(file, 512 + 4 * sector, value); }
std::size_t EntryAt(std::size_t index) { return 1024 + 128 * index; }

// ---- summary property set ----

struct Property {
    std::string name;
    uint16_t type;
    Bytes value;   // the payload after the type
};

Property Long(std::string name, int32_t v)
{
    Bytes b;
    Append32(b, uint32_t(v));
    return {std::move(name), 3, b};
}

Property Double(std::string name, double v)
{
    Bytes b;
    AppendDouble(b, v);
    return {std::move(name), 5, b};
}

Property Blob(std::string name, Bytes const& data, uint16_t type = 65)
{
    Bytes b;
    Append32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return {std::move(name), type, b};
}

Bytes UnitConversion(double u)
{
    Bytes b;
    AppendDouble(b, u);
    AppendDouble(b, u);
    return b;
}

struct Block {
    int32_t points;
    unsigned rgb;
};

Bytes SequenceList(std::vector<Block> const& blocks)
{
    Bytes list;
    for (Block const& block : blocks) {
        Bytes record(796, 0);
        Put32(record, 8, uint32_t(block.points));
        Put32(record, 792, block.rgb);
        list.insert(list.end(), record.begin(), record.end());
    }
    return list;
}

Bytes PropertySet(std::vector<Property> const& properties)
{
    uint8_t const summaryClass[] = {0x16, 0x2D, 0xE1, 0xD8, 0x20, 0x12, 0x99, 0x86,
                                    0x5A, 0x71, 0x91, 0x81, 0x89, 0x5C, 0x1B, 0x63};
    Bytes set;
    Put16(set, 0, 0xFFFE);
    Put16(set, 2, 0);
    Put32(set, 4, 0x00020A04);
    set.insert(set.end(), summaryClass, summaryClass + 16);
    Append32(set, 1);
    set.insert(set.end(), summaryClass, summaryClass + 16);
    Append32(set, 48);

    uint32_t const pairs = uint32_t(properties.size() + 1);
    Bytes dictionary;
    Append32(dictionary, uint32_t(properties.size()));
    for (std::size_t i = 0; i < properties.size(); ++i) {
        Append32(dictionary, uint32_t(i + 2));
        Append32(dictionary, uint32_t(properties[i].name.size() + 1));
        dictionary.insert(dictionary.end(), properties[i].name.begin(), properties[i].name.end());
        dictionary.push_back(0);
    }
    dictionary.resize((dictionary.size() + 3) / 4 * 4, 0);
    Bytes section(8 + 8 * pairs, 0);
    Put32(section, 8, 0);
    Put32(section, 12, uint32_t(section.size()));
    section.insert(section.end(), dictionary.begin(), dictionary.end());
    for (std::size_t i = 0; i < properties.size(); ++i) {
        Put32(section, 16 + 8 * i, uint32_t(i + 2));
        Put32(section, 20 + 8 * i, uint32_t(section.size()));
        Append32(section, properties[i].type);
        section.insert(section.end(), properties[i].value.begin(), properties[i].value.end());
        section.resize((section.size() + 3) / 4 * 4, 0);
    }
    Put32(section, 0, uint32_t(section.size()));
    Put32(section, 4, pairs);
    set.insert(set.end(), section.begin(), section.end());
    return set;
}

// ---- predictive coder, written from the format's description ----

struct AxisEncoder {
    int32_t position = 0, delta = 0, sign = 1, magnitude = 0;

    uint32_t CodeFor(int32_t target)
    {
        int32_t const d = target - position;
        int32_t const change = d - delta;
        uint32_t code;
        if (change >= -4 && change <= 3) {
            code = change >= 0 ? uint32_t(2 * change) : uint32_t(-2 * change - 1);
        } else {
            int32_t const newSign = d >= 0 ? 1 : -1;
            int32_t const newMagnitude = d >= 0 ? d : ~d;
            int32_t const v = newMagnitude - magnitude;
            uint32_t const size = uint32_t(v < 0 ? ~v : v);
            code = (size >> 1) << 4 | 0b1000 | (size & 1) << 2 | uint32_t(v < 0) << 1 | uint32_t(newSign != sign);
        }
        delta = d;
        position = target;
        sign = d >= 0 ? 1 : -1;
        magnitude = d >= 0 ? d : ~d;
        return code;
    }
};

void AppendPacked(Bytes& out, uint32_t e)
{
    if (e < 0x80) {
        out.push_back(uint8_t(e));
    } else {
        out.push_back(uint8_t(0x80 | (e & 0x7F)));
        out.push_back(uint8_t(e >> 7));
    }
}

struct Point {
    int32_t x, y;
};

Bytes EncodePoints(std::vector<Point> const& points)
{
    AxisEncoder ex, ey;
    Bytes out;
    for (Point const& p : points) {
        uint32_t const cx = ex.CodeFor(p.x);
        uint32_t const cy = ey.CodeFor(p.y);
        out.push_back(uint8_t((cx & 0xF) | (cy & 0xF) << 4));
        if (cx >= 8)
            AppendPacked(out, cx >> 4);
        if (cy >= 8)
            AppendPacked(out, cy >> 4);
    }
    return out;
}

Bytes ContentBlock(std::vector<Point> const& points, int32_t declared)
{
    Bytes const coded = EncodePoints(points);
    Bytes block(116, 0);
    Put32(block, 0, 0x193866DE);
    Put32(block, 4, 116);
    Put32(block, 16, 58275171);
    Put32(block, 20, uint32_t(declared));
    Put32(block, 24, 116);
    Put32(block, 28, uint32_t(coded.size()));
    int64_t sum = 0;
    for (int i = 0; i < 28; ++i)
        sum += uint32_t(block[4 * i] | block[4 * i + 1] << 8 | block[4 * i + 2] << 16 | block[4 * i + 3] << 24);
    Put32(block, 112, uint32_t(sum));
    block.insert(block.end(), coded.begin(), coded.end());
    return block;
}

// The stored stream: the inflated size, zlib data, every byte scrambled.
Bytes ContentsStream(Bytes const& block)
{
    uLongf length = compressBound(uLong(block.size()));
    Bytes packed(length);
    EXPECT_EQ(compress(packed.data(), &length, block.data(), uLong(block.size())), Z_OK);
    packed.resize(length);
    Bytes stream;
    Append32(stream, uint32_t(block.size()));
    stream.insert(stream.end(), packed.begin(), packed.end());
    for (uint8_t& b : stream) {
        uint8_t const plain = b ^ Art::kCryptKey;
        b = uint8_t(plain >> 1 | plain << 7);
    }
    return stream;
}

struct ArtLayout {
    std::vector<Point> points;
    std::vector<Block> blocks;
    std::optional<double> unit = 0.1;   // one file unit is one design unit in x, half a unit in y
    std::optional<int32_t> longest = 50;
    Bytes aux = {1, 0, 0, 0, 0};
    std::optional<int32_t> declaredPoints;   // the points count of the content header
};

Bytes BuildArt(ArtLayout const& art)
{
    std::vector<Property> properties = {Blob("sequence list", SequenceList(art.blocks)),
                                        Blob("embroidery machine name", {'B', 'e', 'r', 'n', 'i', 'n', 'a', 0}, 30),
                                        Long("number of colours", int32_t(art.blocks.size())),
                                        Double("design width", 100.0)};
    if (art.unit)
        properties.push_back(Blob("unit conversion info", UnitConversion(*art.unit)));
    if (art.longest)
        properties.push_back(Long("longest stitch in design", *art.longest));
    Bytes const block = ContentBlock(art.points, art.declaredPoints.value_or(int32_t(art.points.size())));
    return BuildCompoundFile({{u"AUX_INFO", art.aux},
                              {u"\u0005WilcomDesignInformationXY", PropertySet(properties)},
                              {u"Contents", ContentsStream(block)}})
        .bytes;
}

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
