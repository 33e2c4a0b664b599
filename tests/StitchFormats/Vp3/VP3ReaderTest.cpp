// The VP3 reader: statuses, stitch codes, placement, colour records, the
// clean-up after reading, and files cut short or made hostile.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/PatternColourData.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"
#include "Vp3TestReading.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;
using CommonTypes::PointI;

Bytes Write(IDesign const& design, bool nudge)
{
    void* buffer = nullptr;
    unsigned long size = 0;
    CVP3ReadWrite vp3;
    EXPECT_EQ(vp3.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, nudge), kStatusOK);
    Bytes bytes(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);
    return bytes;
}

TEST(Vp3Reader, ReadsBackTheNudgedOneStitchDesign)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {0, 0}, false);
    design.AddStitch(CAbsStitch{{10, 0}, 0, N, false, true});
    design.SetDesignNotes(L"note");
    CSimpleDesign read;
    ASSERT_EQ(ReadOne(Write(design, true), read), kStatusOK);
    EXPECT_EQ(Points(read), (std::vector<Point>{{1, 0, C}, {10, 0, N}}));
    EXPECT_EQ(read.GetColour(0), ColourData::Default());
    EXPECT_EQ(read.GetDesignNotes(), L"note");
}

// An empty first colour is not read back, so the block after it is nudged
// instead; otherwise reading would turn its trim into a stitch.
TEST(Vp3Reader, ReadsBackTheNudgedBlockBehindAnEmptyColour)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {5, 0}, false);
    design.AddColourStitch(ColourData::Default(), {0, 0}, false);
    design.AddStitch(CAbsStitch{{0, 0}, 1, T, false, true});
    design.AddStitch(CAbsStitch{{10, 0}, 1, N, false, true});
    design.AddStitch(CAbsStitch{{10, 10}, 1, N, false, true});
    CSimpleDesign read;
    ASSERT_EQ(ReadOne(Write(design, true), read), kStatusOK);
    EXPECT_EQ(Points(read), (std::vector<Point>{{1, 0, C}, {1, 0, T}, {10, 0, N}, {10, 10, N}}));
}

// The writer's first stitch at the offset point comes back with the colour
// change moved onto each colour's first stitch.
TEST(Vp3Reader, CleanupMovesColourChangesOntoFirstStitches)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {0, 0}, false);
    design.AddStitch(CAbsStitch{{5, 5}, 0, N, false, true});
    design.AddStitch(CAbsStitch{{10, 5}, 0, N, false, true});
    ColourData red = ColourData::Default();
    red.colours[0] = 0xFF;
    design.AddColourStitch(red, {10, 5}, false);
    design.AddStitch(CAbsStitch{{20, 5}, 1, N, false, true});
    Bytes const bytes = Write(design, false);

    CSimpleDesign cleaned;
    ASSERT_EQ(ReadOne(bytes, cleaned, true), kStatusOK);
    EXPECT_EQ(Points(cleaned), (std::vector<Point>{{5, 5, C}, {5, 5, N}, {10, 5, N}, {20, 5, C}, {20, 5, N}}));
    EXPECT_EQ(cleaned.GetColour(1), red);

    CSimpleDesign copied;
    copied.AddColourStitch(ColourData::Default(), {99, 99}, false);   // replaced, not appended to
    ASSERT_EQ(ReadOne(bytes, copied, false), kStatusOK);
    EXPECT_EQ(Points(copied), (std::vector<Point>{{0, 0, C}, {5, 5, N}, {10, 5, N}, {10, 5, C}, {20, 5, N}}));

    CSimpleDesign shifted;
    ASSERT_EQ(ReadOne(bytes, shifted, true, {100, -100}), kStatusOK);
    EXPECT_EQ(Points(shifted).front(), (Point{105, -95, C}));
}

// Straight on the design model: the target is replaced, not appended to, and
// records point at the target's colours even where a colour was dropped.
TEST(Vp3Reader, CleanupReplacesTheTargetAndKeepsColourIndicesValid)
{
    ColourData first = ColourData::Default(), second = ColourData::Default();
    first.colours[0] = 0x11;
    second.colours[0] = 0x22;
    CSimpleDesign source;
    source.AddColourStitch(first, {0, 0}, false);   // a colour with nothing but its change
    source.AddColourStitch(second, {5, 5}, false);
    source.AddStitch(CAbsStitch{{6, 6}, 1, N, false, true});
    source.AddStitch(CAbsStitch{{7, 7}, 1, T, false, true});
    CSimpleDesign target;
    target.AddColourStitch(ColourData::Default(), {99, 99}, false);
    Cleanup00SubDesignFromRead(source, target, {0, 0});
    EXPECT_EQ(Points(target), (std::vector<Point>{{6, 6, C}, {6, 6, N}, {7, 7, T}}));
    ASSERT_EQ(target.GetColourCount(), 1u);
    EXPECT_EQ(target.GetColour(0), second);
    auto const reader = HoldIterator(static_cast<IDesign const&>(target).GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        EXPECT_EQ(reader->GetCurrentItem().colourIndex, 0);
}

struct CodeCase {
    char const* name;
    Bytes data;
    int32_t endX, endY;   // VP3 units, y up
    std::vector<Point> expected;
};

// Block start (100, -200) in VP3 units, design centre (0, 0): the first
// needle position is (1, 2) in design units.
TEST(Vp3Reader, DecodesStitchCodes)
{
    CodeCase const cases[] = {
        {"short stitches", {0x05, 0x00, 0xFB, 0x03}, 0, -300, {{1, 2, C}, {6, 2, N}, {1, 5, N}}},
        {"long stitch", {0x80, 0x01, 0x01, 0x00, 0xFF, 0x00, 0x80, 0x02}, 25600, 25600,
         {{1, 2, C}, {257, -254, N}}},
        {"trim and stop", {0x02, 0x00, 0x80, 0x03, 0x80, 0x00}, 200, 0, {{1, 2, C}, {3, 2, N}, {3, 2, T}, {3, 2, S}}},
        {"lone 80 02 copies the last record", {0x80, 0x02, 0x01, 0x00}, 100, 0, {{1, 2, C}, {1, 2, N}, {2, 2, N}}},
        {"zero delta copies the last record", {0x00, 0x00}, 0, 0, {{1, 2, C}, {1, 2, N}}},
        {"end point not reached", {0x01, 0x00}, 500, -500, {{1, 2, C}, {2, 2, N}, {6, 7, N}}},
        {"empty data adds nothing", {}, 0, 0, {}},
    };
    for (auto const& c : cases) {
        StitchBlockFields block;
        block.startX = 100;
        block.startY = -200;
        block.endX = c.endX;
        block.endY = c.endY;
        block.data = c.data;
        CSimpleDesign design;
        unsigned int const status = ReadOne(FileWithBlocks({block}), design, false);
        EXPECT_EQ(status, kStatusOK) << c.name;
        EXPECT_EQ(Points(design), c.expected) << c.name;
    }
}

struct BadInputCase {
    char const* name;
    Bytes file;
    unsigned int status;
    std::size_t stitches;
};

StitchBlockFields GoodBlock()
{
    StitchBlockFields block;
    block.data = {0x01, 0x01};
    block.endX = 100;
    block.endY = -100;
    return block;
}

std::vector<BadInputCase> BadInputCases()
{
    auto with = [](auto change) {
        StitchBlockFields block = GoodBlock();
        change(block);
        return FileWithBlocks({GoodBlock(), block});
    };
    Bytes const good = FileWithBlocks({GoodBlock()});
    Bytes badMagic = good;
    badMagic[1] = 'Q';
    Bytes badVersion = good;
    badVersion[5] = 1;
    Bytes const notRoot = ByteBuilder().raw(FileHeader()).block(3, RootBody({}));
    Bytes const rootVersion = ByteBuilder().raw(FileHeader()).block(2, RootBody({}), 1);
    Bytes const designBlock = Block(3, DesignBody({Block(5, StitchBlockBody(GoodBlock()))}));
    return {
        {"good", good, kStatusOK, 2},
        {"bad magic", badMagic, kStatusBadMagic, 0},
        {"format version", badVersion, kStatusNoDesign, 0},
        {"first block not a root", notRoot, kStatusNoDesign, 0},
        {"root of another version", rootVersion, kStatusNoDesign, 0},
        {"empty root", File({}), kStatusNoDesign, 0},
        {"only block of kind 2", FileWithBlocks({[] { auto b = GoodBlock(); b.kind = 2; return b; }()}),
         kStatusNoDesign, 0},
        {"data flags", with([](auto& b) { b.flags = 1; }), kStatusUnreadable, 2},
        {"reserved byte", with([](auto& b) { b.reserved = 1; }), kStatusUnreadable, 2},
        {"x scale 0", with([](auto& b) { b.xScale = 0; }), kStatusUnreadable, 2},
        {"y scale 0", with([](auto& b) { b.yScale = 0; }), kStatusUnreadable, 2},
        {"container length 2", with([](auto& b) { b.lengthOverride = 2; }), kStatusUnreadable, 2},
        {"container length huge", with([](auto& b) { b.lengthOverride = 0xFFFFFFF0; }), kStatusUnreadable, 2},
        {"container one byte past the block", with([](auto& b) {
             b.afterData = {};
             b.lengthOverride = 2 + 3 + 1;
         }),
         kStatusUnreadable, 2},
        // A block that is not taken is left by its length, bytes after its fields included.
        {"refused block skipped by its length", FileWithBlocks({[] {
             auto b = GoodBlock();
             b.kind = 2;
             b.afterData = {0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
             return b;
         }(), GoodBlock()}),
         kStatusUnreadable, 2},
        // A stitch block may run past its own length, but not past its design.
        {"container one byte past its design", File({Block(3, DesignBody({Block(5, StitchBlockBody([] {
                                                          auto b = GoodBlock();
                                                          b.afterData = {};
                                                          b.lengthOverride = 2 + 3 + 1;
                                                          return b;
                                                      }()))})),
                                                      designBlock}),
         kStatusUnreadable, 2},
        {"unknown class in design", File({Block(3, DesignBody({Block(5, StitchBlockBody(GoodBlock())), Block(9, {})}))}),
         kStatusUnexpectedClass, 2},
        {"stitch block version 1",
         File({Block(3, DesignBody({Block(5, StitchBlockBody(GoodBlock())), Block(5, StitchBlockBody(GoodBlock()), 1)}))}),
         kStatusUnreadable, 2},
        {"unknown class at the root", File({designBlock, Block(0x7E, {1, 2, 3})}), kStatusUnexpectedClass, 2},
        {"text block too short for its fields", File({designBlock, Block(0x13, {1, 2, 3})}), kStatusUnreadable, 2},
        {"SPX block too short for its fields", File({Block(0x22, {}), designBlock}), kStatusUnreadable, 2},
        {"design of version 1", File({Block(3, DesignBody({}), 1), designBlock}), kStatusUnreadable, 2},
        {"colour count 0 ends the design", FileWithBlocks({GoodBlock(), [] {
             auto b = GoodBlock();
             b.colour = ByteBuilder().u8(0).u8(0);
             return b;
         }(), GoodBlock()}),
         kStatusOK, 2},
        {"colour count 11", with([](auto& b) { b.colour = ByteBuilder().u8(11).u8(0); }), kStatusOK, 2},
        {"truncated long code", with([](auto& b) { b.data = {0x01, 0x01, 0x80, 0x01, 0x00, 0x10}; }),
         kStatusBadData, 4},
        {"odd data byte", with([](auto& b) { b.data = {0x01, 0x01, 0x05}; }), kStatusBadData, 4},
        {"unknown command", with([](auto& b) { b.data = {0x80, 0x04}; }), kStatusBadData, 3},
        {"design count past the data", ByteBuilder().raw(FileHeader()).block(2, [&] {
             Bytes body = RootBody({designBlock});
             body[2 + 16 + 4 + 2 + 1] = 0xFF;   // claims 65281 designs
             return body;
         }()),
         kStatusUnexpectedClass, 2},
    };
}

TEST(Vp3Reader, ReportsBadInputAndSkipsWhatItCannotRead)
{
    for (auto const& c : BadInputCases()) {
        CSimpleDesign design;
        EXPECT_EQ(ReadOne(c.file, design, false), c.status) << c.name;
        EXPECT_EQ(design.GetStitchCount(), c.stitches) << c.name;
    }
}

TEST(Vp3Reader, SkipsSecondContainersAndExtraData)
{
    StitchBlockFields block = GoodBlock();
    block.afterData = ByteBuilder().u8(1).u16(1).u8(0).u32(4).raw({0x80, 0x80, 0x80, 0x80});
    Bytes const withExtra = File({Block(3, DesignBody({Block(5, StitchBlockBody(block))}, 0, 0, L"",
                                                      Bytes{0xDE, 0xAD, 0xBE}))});
    CSimpleDesign design;
    EXPECT_EQ(ReadOne(withExtra, design, false), kStatusOK);
    EXPECT_EQ(Points(design), (std::vector<Point>{{0, 0, C}, {1, 1, N}}));
}

struct ColourCase {
    unsigned unit, length;
    uint32_t expected;
};

// Where the length field of every stitch block lies in a file our writer
// made: the file header, the root's fields, then each design's fields and
// its stitch blocks.
std::vector<std::size_t> StitchBlockLengthFields(Bytes const& file)
{
    auto u16 = [&](std::size_t at) { return std::size_t{file.at(at)} << 8 | file.at(at + 1); };
    auto u32 = [&](std::size_t at) { return u16(at) << 16 | u16(at + 2); };
    std::size_t at = 6;
    at += 2 + u16(at);                  // producer
    at += 7;                            // root header
    at += 2 + u16(at);                  // root notes
    at += 16 + 4 + 2 + 1;               // extents, stitch count, colour block count, precision
    std::size_t const designs = u16(at);
    at += 2;
    std::vector<std::size_t> fields;
    for (std::size_t d = 0; d < designs; ++d) {
        EXPECT_EQ(u16(at), 3u);
        std::size_t const designEnd = at + 7 + u32(at + 3);
        at += 7 + 8 + 1 + 2 + 24;       // header, centre, flags, rotation, extents
        at += 2 + u16(at);              // notes
        at += 2 + 16 + 4 + 1 + 1;       // settings, matrix, codes, options, no extra data
        at += 2 + u16(at);              // producer
        std::size_t const blocks = u16(at);
        at += 2;
        for (std::size_t b = 0; b < blocks; ++b) {
            EXPECT_EQ(u16(at), 5u);
            fields.push_back(at + 3);
            at += 7 + u32(at + 3);
        }
        EXPECT_EQ(at, designEnd);
    }
    return fields;
}

// Some writers count a stitch block's length without its three thread
// strings. A block that is taken ends at its last field whatever its length
// says, so such files load in full.
TEST(Vp3Reader, StitchBlocksWhoseLengthsLeaveOutTheThreadStringsLoadInFull)
{
    ColourData thread = ColourData::Default();
    std::strcpy(thread.serialNumber, "1801");
    std::strcpy(thread.threadName, "Bright Red");
    std::strcpy(thread.manufacturerName, "Sulky");
    constexpr uint32_t kThreadStrings = 2 + 4 + 2 + 10 + 2 + 5;
    std::vector<std::shared_ptr<IDesign>> designs;
    for (int d = 0; d < 2; ++d) {
        auto design = std::make_shared<CSimpleDesign>();
        for (int colour = 0; colour < 3; ++colour) {
            thread.colours[0] = 0x102030u * static_cast<unsigned>(colour + 1);
            design->AddColourStitch(thread, {100 * d + 30 * colour, 0}, false);
            for (int i = 1; i <= 4; ++i)
                design->AddStitch(CAbsStitch{{100 * d + 30 * colour + i, i % 2 * 7}, colour, i == 3 ? T : N, false,
                                             true});
        }
        designs.push_back(design);
    }
    void* buffer = nullptr;
    unsigned long size = 0;
    CVP3ReadWrite writer;
    ASSERT_EQ(writer.WriteToMemory(CDesignHolder(&designs), buffer, size, {0, 0}, true), kStatusOK);
    Bytes const written(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);

    Bytes shortened = written;
    std::vector<std::size_t> const fields = StitchBlockLengthFields(written);
    ASSERT_EQ(fields.size(), 6u);
    for (std::size_t const at : fields) {
        uint32_t const length = uint32_t{written[at]} << 24 | uint32_t{written[at + 1]} << 16
                                | uint32_t{written[at + 2]} << 8 | written[at + 3];
        uint32_t const patched = length - kThreadStrings;
        for (int i = 0; i < 4; ++i)
            shortened[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(patched >> (24 - 8 * i));
    }

    std::vector<std::shared_ptr<IDesign>> expected, read;
    ASSERT_EQ(ReadMany(written, expected), kStatusOK);
    ASSERT_EQ(ReadMany(shortened, read), kStatusOK);
    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(expected.size(), 2u);
    for (std::size_t d = 0; d < 2; ++d) {
        EXPECT_EQ(Points(*read[d]), Points(*expected[d])) << d;
        ASSERT_EQ(read[d]->GetColourCount(), 3u);
        for (unsigned long c = 0; c < 3; ++c)
            EXPECT_EQ(read[d]->GetColour(c), expected[d]->GetColour(c)) << d << " " << c;
    }
    EXPECT_STREQ(read[1]->GetColour(2).threadName, "Bright Red");
}

TEST(Vp3Reader, ReadsColourRecords)
{
    ColourCase const lengths[] = {{10, 25, 25}, {0, 25, 1}, {5, 3, 6}, {20, 1, 1}, {1, 0xFFFF, 655350}};
    for (auto const& c : lengths) {
        StitchBlockFields block = GoodBlock();
        block.colour = ByteBuilder().u8(2).u8(1).raw({1, 2, 3}).u8(c.unit).u16(c.length).raw({4, 5, 6}).u8(10).u16(1)
            .u8(2).u8(18).narrow("123456789012345").narrow("Name").narrow(std::string(50, 'm'));
        CSimpleDesign design;
        ASSERT_EQ(ReadOne(FileWithBlocks({block}), design, false), kStatusOK);
        ColourData const colour = design.GetColour(0);
        EXPECT_EQ(colour.lengths[0], c.expected) << c.unit << "/" << c.length;
        EXPECT_EQ(colour.numberColours, 2u);
        EXPECT_TRUE(colour.variegated);
        EXPECT_EQ(colour.colours[0], 0x030201u);
        EXPECT_EQ(colour.colours[1], 0x060504u);
        EXPECT_EQ(colour.materialType, 5u);
        EXPECT_EQ(colour.threadWeight, 1u);
        EXPECT_STREQ(colour.serialNumber, "1234567890123");
        EXPECT_STREQ(colour.threadName, "Name");
        EXPECT_EQ(std::string(colour.manufacturerName), std::string(39, 'm'));
    }
    unsigned char const materialBytes[] = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 0, 5, 12, 200};
    uint32_t const materials[] = {3, 5, 4, 0, 7, 2, 1, 6, 9, 10, 8, 8, 8, 8};
    unsigned char const weightBytes[] = {12, 18, 25, 30, 35, 50, 60, 80, 40, 0, 99};
    uint32_t const weights[] = {0, 1, 2, 3, 4, 6, 7, 8, 5, 5, 5};
    for (std::size_t i = 0; i < std::size(materialBytes); ++i) {
        Archivers::MemoryStreamRW<IArchiverStream> stream(Bytes{materialBytes[i]});
        EXPECT_EQ(CPatternColourData::ReadMaterialType(stream), materials[i]) << int(materialBytes[i]);
    }
    for (std::size_t i = 0; i < std::size(weightBytes); ++i) {
        Archivers::MemoryStreamRW<IArchiverStream> stream(Bytes{weightBytes[i]});
        EXPECT_EQ(CPatternColourData::ReadThreadWeight(stream), weights[i]) << int(weightBytes[i]);
    }
}

TEST(Vp3Reader, PlacesBlocksByTheirDesignsCentreAndTransform)
{
    StitchBlockFields block;
    block.startX = 100;
    block.data = {0x0A, 0x00};
    block.endX = 1000;
    ByteBuilder mirrored;
    PlacementFields(mirrored, 10000, -5000, L"", 0b01, 90);   // mirror-x, then a quarter turn
    mirrored.u8(0).wide(kProducer).u16(1).block(5, StitchBlockBody(block));
    CSimpleDesign design;
    ASSERT_EQ(ReadOne(File({Block(3, mirrored)}), design, false), kStatusOK);
    // Start (1, 0) becomes (0, -1) after mirror and rotation, plus centre (100, -50), then y flips.
    EXPECT_EQ(Points(design), (std::vector<Point>{{100, 51, C}, {100, 61, N}}));
}

// The design's matrix m comes first, then the mirror D, then the rotation R:
// T = R·D·m. Mirror-x, a quarter turn and the shear m = [[1, 2], [0, 1]] give
// T = [[0, -1], [-1, -2]] (worked out by hand), and each of the five other
// orders of the three moves at least one of the two points below elsewhere.
TEST(Vp3Reader, TransformAppliesTheMatrixThenTheMirrorThenTheRotation)
{
    StitchBlockFields block;
    block.startX = 100;          // S = (1, 0)
    block.data = {0x00, 0xF6};   // dy -10 at y scale -10: the running vector becomes (1, 10)
    block.endY = 1000;           // S + E = (1, 10), where the data ends
    ByteBuilder sheared;
    PlacementFields(sheared, 10000, -5000, L"", 0b01, 90, {4096, 8192, 0, 4096});
    sheared.u8(0).wide(kProducer).u16(1).block(5, StitchBlockBody(block));
    CSimpleDesign design;
    ASSERT_EQ(ReadOne(File({Block(3, sheared)}), design, false), kStatusOK);
    // T·(1, 0) = (0, -1) and T·(1, 10) = (-10, -21); plus the centre (100, -50), then y flips.
    EXPECT_EQ(Points(design), (std::vector<Point>{{100, 51, C}, {90, 71, N}}));
}

TEST(Vp3Reader, ReadsSequencesAndSeveralDesigns)
{
    auto design = [](int32_t centreX, std::wstring const& notes) {
        return Block(3, DesignBody({Block(5, StitchBlockBody(GoodBlock()))}, centreX, 0, notes));
    };
    Bytes const file = File({design(0, L"first"), Block(4, SequenceBody({design(1000, L"second"), design(2000, L"")})),
                             Block(4, SequenceBody({}))},
                            L"root");
    CSimpleDesign merged;
    EXPECT_EQ(ReadOne(file, merged, false), kStatusOK);
    EXPECT_EQ(merged.GetStitchCount(), 6u);
    EXPECT_EQ(merged.GetColourCount(), 3u);
    EXPECT_EQ(merged.GetDesignNotes(), L"root");

    std::vector<std::shared_ptr<IDesign>> designs;
    EXPECT_EQ(ReadMany(file, designs), kStatusOK);
    ASSERT_EQ(designs.size(), 2u);
    EXPECT_EQ(designs[0]->GetDesignNotes(), L"first");
    EXPECT_EQ(designs[1]->GetDesignNotes(), L"second");
    EXPECT_EQ(Points(*designs[1]), (std::vector<Point>{{10, 0, C}, {11, 1, N}, {20, 0, C}, {21, 1, N}}));
}

TEST(Vp3Reader, RefusesSequencesNestedTooDeeply)
{
    Bytes nested = Block(3, DesignBody({Block(5, StitchBlockBody(GoodBlock()))}));
    for (int depth = 0; depth < 40; ++depth)
        nested = Block(4, SequenceBody({nested}));
    CSimpleDesign design;
    EXPECT_EQ(ReadOne(File({nested}), design, false), kStatusNoDesign);
}

TEST(Vp3Reader, EntryPointsCheckTheirArguments)
{
    CVP3ReadWrite vp3;
    Bytes const file = FileWithBlocks({GoodBlock()});
    CSimpleDesign const design;
    EXPECT_THROW(static_cast<void>(vp3.ReadFromMemory(CDesignHolder(design), file.data(), file.size(), {0, 0}, true)),
                 CDesignHolder::BadAccess);
    std::vector<std::shared_ptr<IDesign>> designs;
    EXPECT_THROW(
        static_cast<void>(vp3.ReadFromMemory(CDesignHolder(&designs, true), file.data(), file.size(), {0, 0}, true)),
        CDesignHolder::BadAccess);
    CSimpleDesign target;
    EXPECT_EQ(vp3.ReadFromFile(CDesignHolder(&target), static_cast<std::FILE*>(nullptr), {0, 0}, true), kStatusNoFile);
    EXPECT_EQ(vp3.ReadFromFile(CDesignHolder(&target), L"/nonexistent/x.vp3", {0, 0}, true), kStatusNoFile);
    EXPECT_EQ(Load("/nonexistent/x.vp3"), nullptr);

    // A failed read leaves nothing of an earlier one behind.
    ASSERT_EQ(vp3.ReadFromMemory(CDesignHolder(&target), file.data(), file.size(), {0, 0}, true), kStatusOK);
    Bytes const notRoot = ByteBuilder().raw(FileHeader()).block(7, {});
    CSimpleDesign second;
    EXPECT_EQ(vp3.ReadFromMemory(CDesignHolder(&second), notRoot.data(), notRoot.size(), {0, 0}, true),
              kStatusNoDesign);
}

TEST(Vp3Reader, SavesAndLoadsFiles)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {3, 4}, false);
    design.AddStitch(CAbsStitch{{300, -400}, 0, N, false, true});
    std::string const path = testing::TempDir() + "vp3-save-load-" + std::to_string(::getpid()) + ".vp3";
    ASSERT_TRUE(Save(path.c_str(), design));
    std::unique_ptr<IDesign> const loaded = Load(path.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Points(*loaded), Points(design));
    std::remove(path.c_str());
}

// Every prefix of a real file, and every single-byte corruption of it, reads
// without a fault; the statuses only have to be the library's own.
TEST(Vp3Reader, SurvivesTruncationAndCorruption)
{
    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {0, 0}, false);
    for (int i = 1; i < 40; ++i)
        design.AddStitch(CAbsStitch{{i * 37 % 300, i * i % 200}, 0, i % 7 == 0 ? T : N, false, true});
    design.AddColourStitch(ColourData::Default(), {5, 5}, false);
    design.AddStitch(CAbsStitch{{-400, 5}, 1, N, false, true});
    Bytes const file = Write(design, true);
    auto isStatus = [](unsigned int s) { return s <= kStatusBadMagic; };
    for (std::size_t size = 0; size < file.size(); ++size) {
        CSimpleDesign read;
        Bytes const prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_TRUE(isStatus(ReadOne(prefix, read))) << size;
    }
    for (std::size_t at = 0; at < file.size(); ++at) {
        for (unsigned char const value : {0x00, 0x7F, 0x80, 0xFF}) {
            Bytes corrupt = file;
            corrupt[at] = value;
            std::vector<std::shared_ptr<IDesign>> designs;
            EXPECT_TRUE(isStatus(ReadMany(corrupt, designs))) << at;
        }
    }
}

} // namespace
