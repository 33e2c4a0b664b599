// The PES reader: version selection, single-block placement, colours across
// blocks, multi-position hoops, notes, refused input and the corpus.
#include "StitchFormats/Pes.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Palettes.h"
#include "PesTestImages.h"
#include "StitchFormatsTesting.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <malloc.h>

// Under AddressSanitizer the heap is its allocator's, which reports its own use.
#if defined(__SANITIZE_ADDRESS__)
#define QEL_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_TEST_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(QEL_TEST_ADDRESS_SANITIZER)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

using Brodix::CAbsStitch;
using Brodix::IArchiverStream;
using Brodix::CommonTypes::PointI;
using Brodix::CommonTypes::RectI;
using Stream = Brodix::Archivers::MemoryStreamRW<IArchiverStream>;
using PesTestImages::Block;
using PesTestImages::Bytes;
using PesTestImages::Header;
using StitchFormatsTesting::CorpusFiles;
using StitchFormatsTesting::ReadFile;
using StitchFormatsTesting::StitchesOf;
using StitchFormatsTesting::Win1252Encoding;

namespace {

// The first normal stitch of a design.
PointI FirstStitch(IDesign const& design)
{
    for (CAbsStitch const& s : StitchesOf(design))
        if (s.type == CAbsStitch::Normal && !s.colourChangeFlag)
            return s.position;
    return {-99999, -99999};
}

// Where the needle first goes down after each colour change of a design.
std::vector<PointI> FirstNeedlePointOfEachColour(IDesign const& design)
{
    std::vector<PointI> points;
    bool waiting = false;
    for (CAbsStitch const& s : StitchesOf(design)) {
        if (s.type == CAbsStitch::ColourChange) {
            waiting = true;
        } else if (waiting && s.type == CAbsStitch::Normal) {
            points.push_back(s.position);
            waiting = false;
        }
    }
    return points;
}

std::vector<PointI> ColourChangePositions(IDesign const& design)
{
    std::vector<PointI> points;
    for (CAbsStitch const& s : StitchesOf(design))
        if (s.type == CAbsStitch::ColourChange)
            points.push_back(s.position);
    return points;
}

unsigned NearestRGB(int paletteIndex)
{
    Brodix::ColourData colour;
    CStitches::GetNearestColourData(colour, GetBrotherRGB(paletteIndex - 1), 0);
    return colour.colours[0];
}

std::vector<unsigned> ColoursOf(IDesign const& design)
{
    std::vector<unsigned> out;
    for (unsigned long i = 0; i < design.GetColourCount(); ++i)
        out.push_back(design.GetColour(i).colours[0]);
    return out;
}

int Load(Bytes const& file, CPESReadWrite& reader, Brodix::StitchFormats::ICharEncoding* encoding = nullptr)
{
    Stream stream(file);
    return reader.Load(stream, encoding, nullptr, nullptr, nullptr);
}

// Loading puts every colour change on the first needle point of its colour,
// whatever jumps and trims the reader's records hold before it.
void ExpectColourChangesOnFirstNeedlePoints(Bytes const& file)
{
    CPESReadWrite reader;
    ASSERT_EQ(Load(file, reader), 0);
    ASSERT_EQ(reader.Designs().size(), 1u);
    std::vector<PointI> const expected = FirstNeedlePointOfEachColour(*reader.Designs()[0]);

    namespace SF = Brodix::StitchFormats;
    Stream stream(file);
    Brodix::CSimpleDesign design;
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatPES, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(ColourChangePositions(design), expected);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(StitchesOf(design).front().position, expected.front());
}

Header Version(int version, int a = 100, int b = 130, int rotation = 0, int blocks = 1)
{
    Header h;
    h.version = version;
    h.extentA = a;
    h.extentB = b;
    h.rotation = rotation;
    h.numHoops = blocks;
    return h;
}

Block Stitching(Bytes codes, std::vector<int> colours = {1}, int position = 0)
{
    Block b;
    b.codes = std::move(codes);
    b.colours = std::move(colours);
    b.hoopPosition = position;
    return b;
}

TEST(PesReader, SingleBlockIsCentredOnItsExtent)
{
    struct Case {
        char const* name;
        Header header;
        PointI stitch;
    };
    Header v1;
    v1.hoopCode = 1;
    Case const cases[] = {
        {"v1", v1, {10 - 50, 10 - 25}},
        // Rotated: steps come as (y, x), the extent turns, y is offset the other way.
        {"v20 rotated", Version(20, 100, 130, 1), {10 - 25, -10 + 50}},
        // Industrial 200 x 300: rotated, turned by 180 degrees, x offset the other way.
        {"v60 industrial", Version(60, 200, 300, 0), {-10 + 25, 10 - 50}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        CPESReadWrite reader;
        ASSERT_EQ(Load(PesTestImages::EncodePes(c.header, {Stitching({0x0A, 0x0A, 0xFF}, {5})}), reader), 0);
        ASSERT_EQ(reader.Designs().size(), 1u);
        EXPECT_EQ(FirstStitch(*reader.Designs()[0]), c.stitch);
        EXPECT_EQ(ColoursOf(*reader.Designs()[0]), std::vector<unsigned>{NearestRGB(5)});
    }
}

TEST(PesReader, VersionSelectsTheHeader)
{
    Bytes v60 = PesTestImages::EncodePes(Version(60), {Stitching({0x0A, 0x0A, 0xFF})});
    std::memcpy(v60.data(), "ABCD", 4);   // only the digits count
    Bytes v65 = v60;
    std::memcpy(v65.data() + 4, "0065", 4);
    // A newer version is read from the PEC section its offset leads to, which
    // opens with its label; an offset that leads elsewhere is refused.
    Bytes v100 = v60;
    std::memcpy(v100.data() + 4, "0100", 4);
    uint32_t const section = v100[8] | (v100[9] << 8) | (v100[10] << 16) | (uint32_t(v100[11]) << 24);
    Bytes v100Unlabelled = v100;
    std::memcpy(v100.data() + section, "LA:", 3);
    Bytes v100PastTheEnd = v100;
    v100PastTheEnd[10] = 0x7F;
    Bytes v100NoSection = v100;
    v100NoSection[8] = 0;   // now the magic
    struct Case {
        char const* name;
        Bytes file;
        int status;
    };
    Case const cases[] = {{"arbitrary prefix", v60, 0},          {"0065", v65, 2},
                          {"0100", v100, 0},                     {"0100 without a label", v100Unlabelled, 5},
                          {"0100 past the end", v100PastTheEnd, 5}, {"0100 at the magic", v100NoSection, 5}};
    for (Case const& c : cases) {
        CPESReadWrite reader;
        EXPECT_EQ(Load(c.file, reader), c.status) << c.name;
    }
}

TEST(PesReader, ColourContinuesAcrossBlocks)
{
    struct Case {
        int secondBlockFirstIndex;
        std::vector<int> firstDesign;
        std::vector<int> secondDesign;
    };
    // Block 0 sews 3 then 7; block 1 starts with the given index, then 9.
    Case const cases[] = {
        {7, {3, 7}, {7, 9}},      // same thread: the change between the blocks is dropped
        {8, {3, 7, 8}, {8, 9}},   // another thread: the change stays
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.secondBlockFirstIndex);
        Bytes const codes = {0x0A, 0x0A, 0xFE, 0xB0, 0x01, 0x05, 0x05, 0xFF};
        Bytes const file = PesTestImages::EncodePes(Version(30, 300, 130, 0, 2),
                                                    {Stitching(codes, {3, 7}, 0),
                                                     Stitching(codes, {c.secondBlockFirstIndex, 9}, 1)});
        CPESReadWrite reader;
        ASSERT_EQ(Load(file, reader), 0);
        ASSERT_EQ(reader.Designs().size(), 2u);
        std::vector<unsigned> first, second;
        for (int index : c.firstDesign)
            first.push_back(NearestRGB(index));
        for (int index : c.secondDesign)
            second.push_back(NearestRGB(index));
        EXPECT_EQ(ColoursOf(*reader.Designs()[0]), first);
        EXPECT_EQ(ColoursOf(*reader.Designs()[1]), second);
    }
}

TEST(PesReader, ThreePositionHoopsPlaceBlocksByPosition)
{
    struct Case {
        char const* name;
        Header header;
        std::vector<std::pair<int, int>> cells;   // grid column and row of each block (custom grids)
        PointI step;                              // from one block to the next
    };
    Header custom = Version(60, 300, 130, 0, 3);
    custom.custom = true;
    custom.customValues[0] = 300;
    custom.customValues[1] = 200;
    custom.customValues[2] = 130;
    custom.customValues[3] = 180;
    Header tall = custom;
    tall.customValues[1] = 400;
    Case const cases[] = {
        {"type 1", Version(30, 300, 130, 0, 3), {}, {600, 0}},
        {"type 2", Version(30, 130, 300, 0, 3), {}, {0, 600}},
        {"type 3", Version(40, 172, 100, 0, 3), {}, {360, 0}},
        {"type 4", Version(50, 100, 172, 0, 3), {}, {0, 360}},
        {"custom grid along a row", custom, {{0, 0}, {1, 0}, {2, 0}}, {1100, 0}},
        {"custom grid down a column", tall, {{1, 0}, {1, 1}, {1, 2}}, {0, 1600}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Block> blocks;
        for (int i = 0; i < 3; ++i) {
            blocks.push_back(Stitching({0x0A, 0x0A, 0x14, 0x14, 0xFF}, {i + 1}, i));
            if (!c.cells.empty()) {
                blocks.back().gridColumn = c.cells[i].first;
                blocks.back().gridRow = c.cells[i].second;
            }
        }
        CPESReadWrite reader;
        ASSERT_EQ(Load(PesTestImages::EncodePes(c.header, blocks), reader), 0);
        ASSERT_EQ(reader.Designs().size(), 3u);
        PointI const p0 = FirstStitch(*reader.Designs()[0]);
        PointI const p1 = FirstStitch(*reader.Designs()[1]);
        EXPECT_EQ(p1.x - p0.x, c.step.x);
        EXPECT_EQ(p1.y - p0.y, c.step.y);
        // All designs are centred together.
        RectI const box = reader.GetDesignRectangle();
        EXPECT_LE(std::abs(box.left + box.right), 1);
        EXPECT_LE(std::abs(box.top + box.bottom), 1);
    }
}

TEST(PesReader, DispatchHandsOutOneDesignPerBlock)
{
    std::vector<Block> blocks;
    for (int i = 0; i < 3; ++i)
        blocks.push_back(Stitching({0x0A, 0x0A, 0x14, 0x14, 0xFF}, {i + 1}, i));
    Bytes const file = PesTestImages::EncodePes(Version(30, 300, 130, 0, 3), blocks);
    namespace SF = Brodix::StitchFormats;
    std::vector<std::shared_ptr<IDesign>> designs;
    Stream stream(file);
    ASSERT_EQ(SF::Load(designs, stream, 0, SF::FormatPES, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(designs.size(), 3u);
    Brodix::CSimpleDesign merged;
    Stream again(file);
    ASSERT_EQ(SF::Load(merged, again, 0, SF::FormatPES, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(merged.GetColourCount(), 3u);
}

TEST(PesReader, TwoPositionHoopTurnsTheSecondBlock)
{
    Header h;
    h.version = 90;
    h.machineClass = "20";
    h.hoopCode = 19;   // 350 x 350, two positions
    h.numHoops = 2;
    Block first = Stitching({0x0A, 0x00, 0xFF}, {1}, 0);
    first.offsetX = 100;
    first.offsetY = 200;
    Block second = Stitching({0x0A, 0x00, 0xFF}, {2}, 1);
    second.offsetX = 300;
    second.offsetY = -400;
    CPESReadWrite reader;
    ASSERT_EQ(Load(PesTestImages::EncodePes(h, {first, second}), reader), 0);
    ASSERT_EQ(reader.Designs().size(), 2u);
    // Half the hoop (1750) less the block's offset, in opposite directions; no centring.
    EXPECT_EQ(FirstStitch(*reader.Designs()[0]), (PointI{10 - 1650, -1550}));
    EXPECT_EQ(FirstStitch(*reader.Designs()[1]), (PointI{-10 + 1450, 2150}));
}

TEST(PesReader, NotesNeedAnEncoding)
{
    Header h = Version(40);
    h.text[0] = "Rose";
    h.text[2] = "caf\xE9";
    Bytes const file = PesTestImages::EncodePes(h, {Stitching({0x0A, 0x0A, 0xFF})});
    Win1252Encoding encoding;
    CPESReadWrite withEncoding;
    ASSERT_EQ(Load(file, withEncoding, &encoding), 0);
    EXPECT_EQ(withEncoding.Designs()[0]->GetDesignNotes(), L"Rose caf\u00E9");
    CPESReadWrite without;
    ASSERT_EQ(Load(file, without), 0);
    EXPECT_EQ(without.Designs()[0]->GetDesignNotes(), L"");
}

Bytes WithCardDataPos(Bytes file, uint32_t position)
{
    for (int i = 0; i < 4; ++i)
        file[8 + i] = static_cast<uint8_t>(position >> (8 * i));
    return file;
}

TEST(PesReader, BadInputIsRefused)
{
    Bytes const codes = {0x0A, 0x0A, 0xFF};
    Header twoPosition;
    twoPosition.version = 90;
    twoPosition.machineClass = "20";
    twoPosition.hoopCode = 19;
    twoPosition.numHoops = 3;
    Header grid = Version(60, 300, 130, 0, 2);
    grid.custom = true;
    grid.customValues[0] = 300;
    grid.customValues[1] = 200;
    grid.customValues[2] = 130;
    grid.customValues[3] = 180;
    Block outsideGrid = Stitching(codes, {1}, 0);
    outsideGrid.gridRow = 2;
    Header const threeWide = Version(30, 300, 130, 0, 2);
    Block const firstBlock = Stitching(codes, {1}, 0);
    Bytes const good = PesTestImages::EncodePes(threeWide, {firstBlock, Stitching(codes, {2}, 1)});
    Bytes signatureBroken = good;
    std::size_t const secondBlock =
        PesTestImages::EncodeHeader(threeWide).size() + PesTestImages::EncodeBlock(firstBlock).size();
    signatureBroken[secondBlock + 512 + 2] = '2';
    Bytes marker = good;
    std::memcpy(marker.data() + 200, "SColourStitch", 13);
    Bytes truncatedHeader = PesTestImages::EncodeHeader(Version(60));
    truncatedHeader.pop_back();

    struct Case {
        char const* name;
        Bytes file;
        int status;
    };
    Case const cases[] = {
        {"well formed", good, 0},
        {"hoop position beyond the hoop",
         PesTestImages::EncodePes(Version(30, 300, 130, 0, 2), {Stitching(codes, {1}, 0), Stitching(codes, {1}, 3)}),
         5},
        {"two-position hoop with three blocks",
         PesTestImages::EncodePes(twoPosition, {Stitching(codes), Stitching(codes, {1}, 1), Stitching(codes)}), 5},
        {"custom grid cell outside the grid", PesTestImages::EncodePes(grid, {outsideGrid, Stitching(codes, {1})}), 5},
        {"more blocks than the file holds",
         PesTestImages::EncodePes(Version(30, 300, 130, 0, 40), {Stitching(codes)}), 5},
        {"card data past the end", WithCardDataPos(good, 0xFFFFFF00u), 5},
        {"several blocks on a single hoop",
         PesTestImages::EncodePes(Version(30, 100, 130, 0, 2), {Stitching(codes), Stitching(codes)}), 2},
        {"truncated header", truncatedHeader, 5},
        {"stitch section of block 2 unsigned", signatureBroken, 5},
        {"marker text", marker, 5},
        {"no colours listed", PesTestImages::EncodePes(Version(1), {Stitching(codes, {})}), 0},
        {"no blocks", PesTestImages::EncodePes(Version(30, 100, 130, 0, 0), {}), 0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        CPESReadWrite reader;
        EXPECT_EQ(Load(c.file, reader), c.status);
        // Designs are stored only when every block was read.
        if (c.status != 0 || std::string(c.name) == "no blocks") {
            EXPECT_TRUE(reader.Designs().empty());
        }
    }
}

// Heap bytes in use, from the allocator that serves this build.
std::size_t HeapInUse()
{
#if defined(QEL_TEST_ADDRESS_SANITIZER)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 const info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// Notes are converted once every block was read and before any design is built:
// the moment the decoded blocks are all held.
class HeapAtNotes : public Win1252Encoding {
public:
    std::wstring ConvertToWChars(std::string text) override
    {
        inUse = HeapInUse();
        return Win1252Encoding::ConvertToWChars(std::move(text));
    }
    std::size_t inUse = 0;
};

TEST(PesReader, ManySmallBlocksHoldWhatTheyDecoded)
{
    constexpr int kBlocks = 1000;
    std::vector<Block> blocks(kBlocks, Stitching({0x0A, 0x0A, 0xFF}));
    Bytes const file = PesTestImages::EncodePes(Version(30, 300, 130, 0, kBlocks), blocks);
    Stream stream(file);
    CPESReadWrite reader;
    HeapAtNotes encoding;
    std::size_t const before = HeapInUse();
    ASSERT_EQ(reader.Load(stream, &encoding, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(reader.Designs().size(), std::size_t{kBlocks});
    // Room for 50,000 records per block would be some 150 MB here.
    EXPECT_LT(encoding.inUse - before, 8 * file.size());
}

// A block that fills the record array has no room left for its move back to
// where it began; the file is refused instead of shifting every later block.
TEST(PesReader, ABlockWithoutRoomForItsMoveBackIsRefused)
{
    auto const twoBlocks = [](int jumps) {
        Bytes codes;
        for (int i = 0; i < jumps; ++i)
            codes.insert(codes.end(), {0x97, 0xFF, 0x00});   // a jump of 2047 units along x
        codes.insert(codes.end(), {0x0A, 0x0A, 0xFF});
        return PesTestImages::EncodePes(Version(30, 300, 130, 0, 2),
                                        {Stitching(codes, {1}, 0), Stitching({0x0A, 0x0A, 0xFF}, {2}, 1)});
    };
    CPESReadWrite few;
    EXPECT_EQ(Load(twoBlocks(10), few), 0);
    EXPECT_EQ(few.Designs().size(), 2u);
    // About 3.9 million records, and a move back that needs 3.8 million more.
    CPESReadWrite many;
    EXPECT_EQ(Load(twoBlocks(150'000), many), CStitches::kStatusRefused);
    EXPECT_TRUE(many.Designs().empty());
}

TEST(PesReader, CustomGridRectangles)
{
    Header h = Version(60, 300, 130, 0, 2);
    h.custom = true;
    h.customValues[0] = 300;   // grid 3000 x 2000, cells 1300 x 1800
    h.customValues[1] = 200;
    h.customValues[2] = 130;
    h.customValues[3] = 180;
    Stream stream(PesTestImages::EncodeHeader(h));
    PES6Header header;
    ASSERT_TRUE(header.LoadFromFile(stream));
    ASSERT_EQ(CPESReadWrite::GetHoopRects(&header, nullptr), 6);   // three columns, two rows
    RectI rects[6];
    CPESReadWrite::GetHoopRects(&header, rects);
    EXPECT_EQ(rects[0], (RectI{0, 0, 1200, -1700}));
    EXPECT_EQ(rects[5], (RectI{2200, -1600, 3400, -3300}));

    struct Case {
        int column;
        int row;
        int position;
    };
    for (Case c : {Case{0, 0, 0}, Case{2, 1, 5}, Case{0, 2, -1}, Case{3, 0, -1}}) {
        unsigned char blockHeader[48] = {};
        blockHeader[38] = static_cast<unsigned char>(c.column);
        blockHeader[39] = static_cast<unsigned char>(c.row);
        EXPECT_EQ(CPESReadWrite::GetHoopPos(&header, blockHeader), c.position);
    }
}

TEST(PesReader, ColourChangesFollowedByTrimsStartOnTheirFirstStitch)
{
    // A jump and a trimmed move before the first stitch, and a colour change
    // followed by a trimmed move in the middle.
    Bytes const codes = {0x91, 0x2C, 0x90, 0x00, 0x90, 0x14, 0xA0, 0x0A, 0x05, 0x05, 0x03, 0x00,
                         0xFE, 0xB0, 0x01, 0x90, 0x32, 0xA0, 0x14, 0x02, 0x02, 0x01, 0x01, 0xFF};
    SCOPED_TRACE("built block");
    ExpectColourChangesOnFirstNeedlePoints(PesTestImages::EncodePes(Version(60), {Stitching(codes, {1, 5})}));
}

// A PES file read from its PEC section alone gives what that section gives
// as a PEC file: the same needle points and colours.
void ExpectAsItsPecSection(Bytes const& file, CPESReadWrite const& reader)
{
    namespace SF = Brodix::StitchFormats;
    std::size_t const section = file[8] | (file[9] << 8) | (file[10] << 16) | (std::size_t(file[11]) << 24);
    ASSERT_LT(section, file.size());
    Bytes pec = {'#', 'P', 'E', 'C', '0', '0', '0', '1'};
    pec.insert(pec.end(), file.begin() + static_cast<std::ptrdiff_t>(section), file.end());
    Stream stream(pec);
    Brodix::CSimpleDesign expected;
    ASSERT_EQ(SF::Load(expected, stream, 0, SF::FormatPEC, nullptr, nullptr, nullptr, nullptr), 0);

    ASSERT_EQ(reader.Designs().size(), 1u);
    Brodix::CSimpleDesign got;
    Brodix::CSimpleDesign::MergeDesign(got, *reader.Designs()[0], true, false);
    SF::ConvertStitchesForColourRules(got, SF::NewColourRules);
    std::vector<PointI> expectedPoints, gotPoints;
    for (CAbsStitch const& s : StitchesOf(expected))
        if (s.type == CAbsStitch::Normal)
            expectedPoints.push_back(s.position);
    for (CAbsStitch const& s : StitchesOf(got))
        if (s.type == CAbsStitch::Normal)
            gotPoints.push_back(s.position);
    EXPECT_FALSE(gotPoints.empty());
    EXPECT_EQ(gotPoints, expectedPoints);
    EXPECT_EQ(ColoursOf(got), ColoursOf(expected));
}

TEST(PesReader, CatStartsOnItsFirstStitch)
{
    std::filesystem::path const path = "../shared/corpus/pes/cat.PES";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no corpus";
    ExpectColourChangesOnFirstNeedlePoints(ReadFile(path));
}

TEST(PesReader, CorpusFilesLoad)
{
    auto const files = CorpusFiles("pes");
    if (files.empty())
        GTEST_SKIP() << "no corpus";
    for (auto const& path : files) {
        SCOPED_TRACE(path.string());
        Bytes const file = ReadFile(path);
        CPESReadWrite reader;
        int const status = Load(file, reader);
        // Versions 100 to 111 postdate every header this reader knows: their
        // PEC section alone gives the design.
        int const version = std::atoi(std::string(file.begin() + 4, file.begin() + 8).c_str());
        if (version >= 100) {
            ASSERT_EQ(status, 0);
            ExpectAsItsPecSection(file, reader);
            continue;
        }
        // Its card-data offset is 0: the file has no Brother section at all.
        if (path.filename() == "single_hexagon_test.pes") {
            EXPECT_EQ(status, 5);
            continue;
        }
        ASSERT_EQ(status, 0);
        // One file announces no block at all (nothingV6.pes) and loads empty.
        Stream stream(file);
        auto header = CreatePESHeader(version);
        ASSERT_TRUE(header && header->LoadFromFile(stream));
        bool const announcesBlocks = header->GetNumHoops() > 0;
        ASSERT_EQ(reader.Designs().empty(), !announcesBlocks);
        RectI const box = reader.GetDesignRectangle();
        EXPECT_LE(box.right - box.left, 4000);
        EXPECT_LE(box.bottom - box.top, 4000);
    }
}

// A block may hold up to the record limit, and so may the whole file, but
// no more: two blocks of 2.6 million records each are refused.
TEST(PesReader, RecordLimitHoldsForTheWholeFile)
{
    // Stitches of +2047 and -2048 units along x, each split into 26 records.
    Bytes codes;
    for (int i = 0; i < 50'000; ++i)
        codes.insert(codes.end(), {0x87, 0xFF, 0x00, 0x88, 0x00, 0x00});
    codes.push_back(0xFF);
    Bytes const file =
        PesTestImages::EncodePes(Version(30, 300, 130, 0, 2), {Stitching(codes, {1}, 0), Stitching(codes, {1}, 1)});
    CPESReadWrite reader;
    EXPECT_EQ(Load(file, reader), 5);
    EXPECT_TRUE(reader.Designs().empty());
}

// Every block's design carries the file's notes, and merging the designs
// into one rescanned the whole text so far for each block: 4,096 blocks of
// 1,000-character notes took minutes. The test's timeout catches a return.
TEST(PesReader, NotesOfManyBlocksMergeInLinearTime)
{
    constexpr int kSide = 64;   // a custom grid of 64 x 64 cells
    Header h = Version(60, 300, 130, 0, kSide * kSide);
    h.custom = true;
    h.customValues[0] = h.customValues[1] = 650;   // 6,500 units, cells every 100
    h.customValues[2] = h.customValues[3] = 30;
    std::string const field(200, 'n');
    for (auto& text : h.text)
        text = field;
    std::vector<Block> blocks;
    for (int i = 0; i < kSide * kSide; ++i) {
        Block block = Stitching({0x0A, 0x0A, 0xFF});
        block.gridColumn = i % kSide;
        block.gridRow = i / kSide;
        blocks.push_back(block);
    }
    CPESReadWrite reader;
    Win1252Encoding encoding;
    ASSERT_EQ(Load(PesTestImages::EncodePes(h, blocks), reader, &encoding), 0);
    Brodix::CSimpleDesign merged;
    reader.GetDesign(merged);

    std::wstring const wideField(field.begin(), field.end());
    std::wstring const notes = wideField + L" " + wideField + L" " + wideField + L" " + wideField + L" " + wideField;
    std::wstring expected = notes;
    for (int i = 1; i < kSide * kSide; ++i)
        expected += L"\n" + notes;
    EXPECT_EQ(merged.GetDesignNotes(), expected + L"Settings:");
}

} // namespace
