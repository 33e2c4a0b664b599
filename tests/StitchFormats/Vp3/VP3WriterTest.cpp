// The VP3 writer: the exact bytes of small designs, the stitch code, the
// colour record, block lengths, and the entry points' statuses.
#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/PatternColourData.h"
#include "StitchFormats/Vp3/Sanitize.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"
#include "Vp3TestReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;
using CommonTypes::PointI;

CAbsStitch Record(int x, int y, uint8_t type = CAbsStitch::Normal)
{
    CAbsStitch record;
    record.position = {x, y};
    record.type = type;
    return record;
}

// Colour changes take the next colour from the list, other records are added.
CSimpleDesign MakeDesign(std::vector<CAbsStitch> const& records, std::vector<ColourData> colours = {})
{
    CSimpleDesign design;
    std::size_t next = 0;
    for (CAbsStitch record : records) {
        if (record.type == CAbsStitch::ColourChange) {
            design.AddColourStitch(next < colours.size() ? colours[next] : ColourData::Default(), record.position,
                                   false);
            ++next;
        } else {
            record.colourIndex = static_cast<int32_t>(design.GetColourCount()) - 1;
            design.AddStitch(record);
        }
    }
    return design;
}

Bytes WriteDesign(IDesign const& design, bool nudge = true, PointI offset = {0, 0}, unsigned int* status = nullptr)
{
    void* buffer = nullptr;
    unsigned long size = 0;
    CVP3ReadWrite vp3;
    unsigned int const result = vp3.WriteToMemory(CDesignHolder(design), buffer, size, offset, nudge);
    if (status != nullptr)
        *status = result;
    if (result != kStatusOK)
        return {};
    Bytes bytes(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);
    return bytes;
}

// Walks a written file with its own cursor, checking that every block ends
// where its length says, and collects each stitch block's fields.
class FileWalker {
public:
    struct Stitches {
        int32_t startX, startY, endX, endY;
        Bytes colour;
        Bytes data;
    };

    explicit FileWalker(Bytes bytes) : m_bytes(std::move(bytes)) {}

    void Walk()
    {
        m_at = 5 + 1;
        SkipWide();
        std::size_t const rootEnd = Header(2);
        EXPECT_EQ(rootEnd, m_bytes.size()) << "the root runs to the end of the file";
        SkipWide();
        m_at += 16;
        stitchCount = U32();
        colourBlockCount = U16();
        EXPECT_EQ(U8(), 12u);
        unsigned const designs = U16();
        for (unsigned d = 0; d < designs; ++d)
            WalkDesign();
        EXPECT_EQ(m_at, rootEnd);
    }

    uint32_t stitchCount = 0;
    unsigned colourBlockCount = 0;
    std::vector<Stitches> blocks;

private:
    void WalkDesign()
    {
        std::size_t const end = Header(3);
        m_at += 4 + 4 + 1 + 2 + 24;
        SkipWide();
        m_at += 2 + 16 + 4 + 1;
        EXPECT_EQ(U8(), 0u) << "no extra data";
        SkipWide();
        unsigned const count = U16();
        for (unsigned i = 0; i < count; ++i)
            WalkStitchBlock();
        EXPECT_EQ(m_at, end);
    }

    void WalkStitchBlock()
    {
        std::size_t const end = Header(5);
        Stitches s{};
        s.startX = static_cast<int32_t>(U32());
        s.startY = static_cast<int32_t>(U32());
        std::size_t const colourStart = m_at;
        unsigned const colours = U8();
        m_at += 1 + colours * 6 + 2;
        for (int i = 0; i < 3; ++i)
            SkipCounted();
        s.colour.assign(m_bytes.begin() + colourStart, m_bytes.begin() + m_at);
        s.endX = static_cast<int32_t>(U32());
        s.endY = static_cast<int32_t>(U32());
        EXPECT_EQ(U16(), 1u);
        EXPECT_EQ(U8(), 0u);
        uint32_t const length = U32();
        EXPECT_EQ(U8(), 10u);
        EXPECT_EQ(U8(), 0xF6u);
        EXPECT_EQ(U8(), 0u);
        s.data.assign(m_bytes.begin() + m_at, m_bytes.begin() + m_at + (length - 3));
        m_at += length - 3;
        EXPECT_EQ(U8(), 0u) << "no second container";
        EXPECT_EQ(m_at, end);
        blocks.push_back(s);
    }

    std::size_t Header(unsigned classID)
    {
        EXPECT_EQ(U16(), classID);
        EXPECT_EQ(U8(), 0u);
        uint32_t const length = U32();
        return m_at + length;
    }
    unsigned U8() { return m_bytes.at(m_at++); }
    unsigned U16() { unsigned const high = U8(); return (high << 8) | U8(); }
    uint32_t U32() { uint32_t const high = U16(); return (high << 16) | U16(); }
    void SkipWide() { SkipCounted(); }
    void SkipCounted()
    {
        std::size_t const count = U16();
        m_at += count;
    }

    Bytes m_bytes;
    std::size_t m_at = 0;
};

TEST(Vp3Writer, WritesTheExactBytesOfAOneStitchDesign)
{
    CSimpleDesign const design = MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(10, 0)});
    // Nudged: the colour change moves to (1, 0), so l = 1, r = 10, t = b = 0.
    Bytes const stitchBlock = ByteBuilder()
        .s32(100 - 550).s32(0)                                   // start, relative to the centre
        .u8(1).u8(0).raw({0, 0, 0}).u8(0).u16(0).u8(5).u8(40)    // colour: black default thread
        .u16(0).u16(0).u16(0)                                    // serial, name, manufacturer
        .s32(900).s32(0)                                         // end, relative to the start
        .u16(1).u8(0).u32(5).raw({0x0A, 0xF6, 0x00})             // container of 2 data bytes
        .raw({0x09, 0x00})                                       // one stitch of (+9, 0)
        .u8(0);
    Bytes const designBlock = ByteBuilder()
        .s32(550).s32(0).u8(0).u16(0)                            // centre, flags, rotation
        .s32(-450).s32(450).s32(0).s32(0).s32(900).s32(0)        // half sizes, width, height
        .wide(L"").u8(100).u8(100)
        .s32(4096).s32(0).s32(0).s32(4096)
        .raw({'x', 'x', 'P', 'P'}).u8(1).u8(0)
        .wide(kProducer).u16(1)
        .block(5, stitchBlock);
    Bytes const rootBlock = ByteBuilder()
        .wide(L"")
        .s32(1000).s32(0).s32(100).s32(0)                        // right, top, left, bottom
        .u32(2).u16(1).u8(12).u16(1)
        .block(3, designBlock);
    Bytes const expected = ByteBuilder().raw(FileHeader()).block(2, rootBlock);

    Bytes const written = WriteDesign(design);
    EXPECT_EQ(written, expected);
    ASSERT_GE(written.size(), 58u);
    EXPECT_EQ(written[56], 0x00);
    EXPECT_EQ(written[57], 0x02);
    EXPECT_EQ(written.size(), 262u);
}

struct StitchCodeCase {
    char const* name;
    std::vector<CAbsStitch> records;   // after a colour change at (5, 5)
    Bytes data;
    int32_t endX, endY;
};

TEST(Vp3Writer, EncodesStitchesJumpsAndCommands)
{
    StitchCodeCase const cases[] = {
        {"short", {Record(132, 5)}, {0x7F, 0x00}, 12700, 0},
        {"long right", {Record(133, 5)}, {0x80, 0x01, 0x00, 0x80, 0x00, 0x00, 0x80, 0x02}, 12800, 0},
        {"long left", {Record(-123, 5)}, {0x80, 0x01, 0xFF, 0x80, 0x00, 0x00, 0x80, 0x02}, -12800, 0},
        {"y down is positive", {Record(5, 8)}, {0x00, 0x03}, 0, -300},
        {"jump then stitch", {Record(10, 5, CAbsStitch::Jump), Record(20, 7)}, {0x0F, 0x02}, 1500, -200},
        {"two jumps", {Record(10, 5, CAbsStitch::Jump), Record(12, 5, CAbsStitch::Jump), Record(6, 6)}, {0x01, 0x01},
         100, -100},
        {"stop and trim", {Record(6, 5), Record(9, 9, CAbsStitch::Stop), Record(9, 9, CAbsStitch::Trim)},
         {0x01, 0x00, 0x80, 0x00, 0x80, 0x03}, 100, 0},
        {"jump then trim", {Record(6, 5), Record(10, 5, CAbsStitch::Jump), Record(11, 5, CAbsStitch::Trim)},
         {0x01, 0x00, 0x05, 0x00, 0x80, 0x03}, 600, 0},
        {"trailing jump", {Record(6, 5), Record(50, 50, CAbsStitch::Jump)}, {0x01, 0x00}, 100, 0},
    };
    for (auto const& c : cases) {
        std::vector<CAbsStitch> records = {Record(5, 5, CAbsStitch::ColourChange)};
        records.insert(records.end(), c.records.begin(), c.records.end());
        testing::internal::CaptureStderr();
        FileWalker walker(WriteDesign(MakeDesign(records), false));
        std::string const messages = testing::internal::GetCapturedStderr();
        walker.Walk();
        ASSERT_EQ(walker.blocks.size(), 1u) << c.name;
        EXPECT_EQ(walker.blocks[0].data, c.data) << c.name;
        EXPECT_EQ(walker.blocks[0].endX, c.endX) << c.name;
        EXPECT_EQ(walker.blocks[0].endY, c.endY) << c.name;
        bool const warned = std::string(c.name) == "jump then trim";
        EXPECT_EQ(messages, warned ? "AW - Bad stitch data when saving a vp3 file!\n" : "") << c.name;
    }
}

TEST(Vp3Writer, WritesOneBlockPerColourWithConsistentLengths)
{
    ColourData red = ColourData::Default(), green = ColourData::Default(), blue = ColourData::Default();
    red.colours[0] = 0x0000FF;
    green.colours[0] = 0x00FF00;
    blue.colours[0] = 0xFF0000;
    CSimpleDesign design = MakeDesign(
        {Record(0, 0, CAbsStitch::ColourChange), Record(300, 0), Record(300, 300, CAbsStitch::Trim),
         Record(0, 300, CAbsStitch::ColourChange), Record(10, 310), Record(-200, 400, CAbsStitch::Jump),
         Record(-200, 410), Record(-200, 410, CAbsStitch::ColourChange), Record(0, 0)},
        {red, green, blue});
    design.SetDesignNotes(L"line one\r\nline two\rline three");
    Bytes const bytes = WriteDesign(design);
    FileWalker walker(bytes);
    walker.Walk();
    EXPECT_EQ(walker.stitchCount, 9u);
    EXPECT_EQ(walker.colourBlockCount, 3u);
    ASSERT_EQ(walker.blocks.size(), 3u);
    EXPECT_EQ(walker.blocks[0].colour[2], 0xFF);   // red first
    EXPECT_EQ(walker.blocks[1].colour[3], 0xFF);
    EXPECT_EQ(walker.blocks[2].colour[4], 0xFF);
    // Design rectangle (-200, 0)-(300, 410): centre (50, 205).
    EXPECT_EQ(walker.blocks[1].startX, (0 - 50) * 100);
    EXPECT_EQ(walker.blocks[1].startY, (205 - 300) * 100);

    Bytes const notes = ByteBuilder().wide(L"line one\nline two\nline three");
    auto const found = std::search(bytes.begin(), bytes.end(), notes.begin(), notes.end());
    ASSERT_NE(found, bytes.end()) << "the root notes with line feeds";
    EXPECT_NE(std::search(found + 1, bytes.end(), notes.begin(), notes.end()), bytes.end()) << "the design notes";
}

// A colour whose block does not start with its colour change gets no stitch
// block; the file is still written and counts only the blocks it holds.
TEST(Vp3Writer, SkipsColoursWithoutABlock)
{
    CSimpleDesign design;
    design.AddStitch(Record(0, 0));
    design.AddColourStitch(ColourData::Default(), {1, 1}, false);
    design.AddStitch(Record(2, 2));
    unsigned int status = 99;
    FileWalker walker(WriteDesign(design, true, {0, 0}, &status));
    EXPECT_EQ(status, kStatusOK);
    walker.Walk();
    EXPECT_EQ(walker.colourBlockCount, 0u);
    EXPECT_TRUE(walker.blocks.empty());
}

TEST(Vp3Writer, WritesColourRecords)
{
    auto colourBytes = [](ColourData const& colour) {
        Archivers::MemoryStreamRW<IArchiverStream> stream;
        CPatternColourData(colour).SerializeWrite(stream);
        return stream.Content();
    };
    ColourData plain = ColourData::Default();
    plain.colours[0] = 0x00332211;
    ColourDataEx::Copy(plain.serialNumber, "12345678901234567");
    ColourDataEx::Copy(plain.threadName, "Red");
    ColourDataEx::Copy(plain.manufacturerName, "Acme");
    EXPECT_EQ(colourBytes(plain), ByteBuilder().u8(1).u8(0).raw({0x11, 0x22, 0x33, 0, 0, 0}).u8(5).u8(40)
                                      .narrow("1234567890123").narrow("Red").narrow("Acme").bytes());

    ColourData variegated = ColourData::Default();
    variegated.numberColours = 2;
    variegated.variegated = true;
    variegated.colours[1] = 0x00FFFFFF;
    variegated.lengths[0] = 25;
    variegated.lengths[1] = 0x10002;   // only the low 16 bits are stored
    EXPECT_EQ(colourBytes(variegated), ByteBuilder().u8(2).u8(1).raw({0, 0, 0, 10}).u16(25)
                                           .raw({0xFF, 0xFF, 0xFF, 10}).u16(2).u8(5).u8(40)
                                           .narrow("").narrow("").narrow("").bytes());

    ColourData tooMany = ColourData::Default();
    tooMany.numberColours = 200;   // more than the record holds: cut to 10
    EXPECT_EQ(colourBytes(tooMany)[0], 10);

    unsigned char const materials[] = {4, 8, 7, 1, 3, 2, 9, 6, 5, 10, 11, 0, 0};
    unsigned char const weights[] = {12, 18, 25, 30, 35, 40, 50, 60, 80, 0, 0};
    for (uint32_t value = 0; value < std::size(materials); ++value) {
        Archivers::MemoryStreamRW<IArchiverStream> stream;
        CPatternColourData::WriteMaterialType(stream, value);
        EXPECT_EQ(stream.Content(), Bytes{materials[value]}) << "material " << value;
    }
    for (uint32_t value = 0; value < std::size(weights); ++value) {
        Archivers::MemoryStreamRW<IArchiverStream> stream;
        CPatternColourData::WriteThreadWeight(stream, value);
        EXPECT_EQ(stream.Content(), Bytes{weights[value]}) << "weight " << value;
    }
}

TEST(Vp3Writer, PlacesEverythingRelativeToTheOffsetPoint)
{
    CSimpleDesign const design = MakeDesign({Record(10, 20, CAbsStitch::ColourChange), Record(30, 60)});
    Bytes const bytes = WriteDesign(design, true, {5, 7});
    ByteBuilder expectedExtents;
    expectedExtents.s32(3000 - 500).s32(700 - 2000).s32(1000 - 500).s32(700 - 6000);
    Bytes const& extents = expectedExtents;
    EXPECT_TRUE(std::equal(extents.begin(), extents.end(), bytes.begin() + 56 + 7 + 2)) << "root extents";
    ByteBuilder expectedCentre;
    expectedCentre.s32(2000 - 500).s32(700 - 4000);
    Bytes const& centre = expectedCentre;
    EXPECT_TRUE(std::equal(centre.begin(), centre.end(), bytes.begin() + 56 + 7 + 27 + 7)) << "design centre";
}

struct NudgeCase {
    std::vector<CAbsStitch> records;
    PointI expected;
};

TEST(Vp3Writer, NudgesAFirstStitchOffTheOrigin)
{
    NudgeCase const cases[] = {
        {{Record(0, 0, CAbsStitch::ColourChange), Record(5, 5)}, {1, 0}},
        {{Record(0, 0, CAbsStitch::ColourChange), Record(-5, 5)}, {-1, 0}},
        {{Record(0, 0, CAbsStitch::ColourChange), Record(0, 5)}, {0, 1}},
        {{Record(0, 0, CAbsStitch::ColourChange), Record(0, -5)}, {0, -1}},
        {{Record(0, 0, CAbsStitch::ColourChange)}, {1, 0}},
        {{Record(3, 0, CAbsStitch::ColourChange), Record(0, 0)}, {3, 0}},
    };
    for (auto const& c : cases) {
        CSimpleDesign const source = MakeDesign(c.records);
        CSimpleDesign target;
        Nudge00SubDesignForWrite(source, target);
        auto const reader = HoldIterator(static_cast<IDesign const&>(target).GetStitchReader());
        reader->First();
        EXPECT_EQ(reader->GetCurrentItem().position, c.expected);
        EXPECT_EQ(reader->GetCurrentItem().type, CAbsStitch::ColourChange);
        EXPECT_EQ(target.GetStitchCount(), source.GetStitchCount());
    }
    CSimpleDesign empty, untouched = MakeDesign({Record(0, 0, CAbsStitch::ColourChange)});
    Nudge00SubDesignForWrite(empty, untouched);
    EXPECT_EQ(untouched.GetStitchCount(), 1u);
}

// The writer lays the nudge over the caller's records instead of copying
// them; the file must be the one the nudged copy gives. The cases move the
// only point on an edge (the rectangle shrinks), two records, none, a first
// record that is no colour change, and colour changes a copy renumbers.
TEST(Vp3Writer, TheNudgeLaidOverTheRecordsWritesWhatTheNudgedCopyWrites)
{
    ColourData red = ColourData::Default(), blue = ColourData::Default();
    red.colours[0] = 0x0000FF;
    blue.colours[0] = 0xFF0000;
    std::vector<CSimpleDesign> designs = {
        MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(5, 3), Record(7, 8)}, {red}),
        MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(0, 0, CAbsStitch::Jump),
                    Record(0, 0, CAbsStitch::ColourChange), Record(-4, 4), Record(-4, 9, CAbsStitch::Trim)},
                   {red, blue}),
        MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(0, 0)}),
        MakeDesign({Record(2, 2, CAbsStitch::ColourChange), Record(0, 0), Record(-3, 1)}, {blue}),
        MakeDesign({Record(0, 0), Record(1, 1, CAbsStitch::ColourChange), Record(6, 6)}, {red}),
        MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(3, 3), Record(3, 3, CAbsStitch::ColourChange),
                    Record(9, 2)},
                   {red, blue}),
    };
    CAbsStitch renamed = Record(9, 9, CAbsStitch::ColourChange);
    renamed.colourIndex = 0;   // names the first colour; a copy gives it the default thread
    designs.back().AddStitch(renamed);
    designs.back().AddStitch(Record(12, 4));
    for (std::size_t i = 0; i < designs.size(); ++i) {
        for (PointI const offset : {PointI{0, 0}, PointI{5, -7}}) {
            SCOPED_TRACE("design " + std::to_string(i) + " offset " + std::to_string(offset.x));
            CSimpleDesign nudged;
            Nudge00SubDesignForWrite(designs[i], nudged);
            EXPECT_EQ(WriteDesign(designs[i], true, offset), WriteDesign(nudged, false, offset));
        }
    }
}

TEST(Vp3Writer, EntryPointsReportTheirStatus)
{
    CVP3ReadWrite vp3;
    CSimpleDesign empty;
    void* buffer = reinterpret_cast<void*>(0x1);
    unsigned long size = 77;
    EXPECT_EQ(vp3.WriteToMemory(CDesignHolder(empty), buffer, size, {0, 0}, true), kStatusNoStitches);
    EXPECT_EQ(buffer, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(size, 77u);

    CSimpleDesign const design = MakeDesign({Record(1, 1, CAbsStitch::ColourChange), Record(2, 2)});
    EXPECT_EQ(vp3.WriteToFile(CDesignHolder(design), static_cast<std::FILE*>(nullptr), {0, 0}, true), kStatusNoFile);
    EXPECT_EQ(vp3.WriteToFile(CDesignHolder(design), L"/nonexistent-folder/x.vp3", {0, 0}, true), kStatusNoFile);
    EXPECT_FALSE(Save("/nonexistent-folder/x.vp3", design));
    EXPECT_THROW(
        static_cast<void>(vp3.WriteToMemory(CDesignHolder(static_cast<IDesign*>(nullptr)), buffer, size, {0, 0}, true)),
        CDesignHolder::BadAccess);

    CVP3ReadWrite::MemoryReadStream readOnly("abc", 3);
    EXPECT_THROW(static_cast<void>(vp3.WriteToStream(CDesignHolder(design), readOnly, {0, 0}, true)),
                 CVP3ReadWrite::MemoryReadStream::NotImplemented);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(vp3.WriteToFile(CDesignHolder(design), file, {0, 0}, true), kStatusOK);
    EXPECT_EQ(std::ftell(file), static_cast<long>(WriteDesign(design).size())) << "the file is left open";
    std::fclose(file);

    std::FILE* readOnlyFile = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnlyFile, nullptr);
    EXPECT_EQ(vp3.WriteToFile(CDesignHolder(design), readOnlyFile, {0, 0}, true), kStatusNoFile)
        << "a file that takes no bytes is not reported as written";
    std::fclose(readOnlyFile);
}

// Normal stitches along x from one colour change at (from, 0) to (to, 0), no
// move longer than the long step holds.
std::vector<CAbsStitch> AcrossX(int from, int to)
{
    std::vector<CAbsStitch> records = {Record(from, 0, CAbsStitch::ColourChange)};
    for (int64_t x = from; x < to;) {
        x = std::min<int64_t>(x + 30000, to);
        records.push_back(Record(static_cast<int>(x), 0));
    }
    return records;
}

// The long step holds a 16-bit delta per axis and every field 32 bits: a
// design just inside is written and reads back as it was, one just beyond is
// refused with nothing written, not wrapped into another design.
TEST(Vp3Writer, RefusesWhatTheFieldsCannotHold)
{
    constexpr int kWidest = 21474836;   // times 100 is the largest 32-bit value that ends in 00
    struct Case {
        char const* name;
        std::vector<CAbsStitch> records;
        PointI offset;
        unsigned int status;
    } const cases[] = {
        {"longest step right", {Record(5, 5, CAbsStitch::ColourChange), Record(5 + 32767, 5)}, {0, 0}, kStatusOK},
        {"step right beyond", {Record(5, 5, CAbsStitch::ColourChange), Record(5 + 32768, 5)}, {0, 0}, 2},
        {"longest step up", {Record(5, 5, CAbsStitch::ColourChange), Record(5, 5 - 32768)}, {0, 0}, kStatusOK},
        {"step up beyond", {Record(5, 5, CAbsStitch::ColourChange), Record(5, 5 - 32769)}, {0, 0}, 2},
        {"jumps folded into one step beyond",
         {Record(5, 5, CAbsStitch::ColourChange), Record(20000, 5, CAbsStitch::Jump), Record(32774, 5)}, {0, 0}, 2},
        {"jump before a trim beyond",
         {Record(5, 5, CAbsStitch::ColourChange), Record(40000, 5, CAbsStitch::Jump), Record(40000, 5, CAbsStitch::Trim)},
         {0, 0}, 2},
        {"widest design", AcrossX(-kWidest / 2, kWidest / 2), {0, 0}, kStatusOK},
        {"wider design", AcrossX(-kWidest / 2, kWidest / 2 + 1), {0, 0}, 2},
        {"edge at the field's end", AcrossX(0, kWidest), {0, 0}, kStatusOK},
        {"edge beyond the field's end", AcrossX(0, kWidest + 1), {0, 0}, 2},
        {"offset beyond the field's end", AcrossX(0, 10), {kWidest + 1, 0}, 2},
        {"second colour beyond", {Record(5, 5, CAbsStitch::ColourChange), Record(6, 5),
                                  Record(6, 5, CAbsStitch::ColourChange), Record(6 + 32768, 5)}, {0, 0}, 2},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        CSimpleDesign const design = MakeDesign(c.records);
        CVP3ReadWrite vp3;
        void* buffer = reinterpret_cast<void*>(0x1);
        unsigned long size = 77;
        testing::internal::CaptureStderr();
        unsigned int const status = vp3.WriteToMemory(CDesignHolder(design), buffer, size, c.offset, false);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status);
        if (status != kStatusOK) {
            EXPECT_EQ(buffer, reinterpret_cast<void*>(0x1));
            EXPECT_EQ(size, 77u);
            std::vector<unsigned char> bytes;
            testing::internal::CaptureStderr();
            EXPECT_EQ(vp3.WriteToBytes(CDesignHolder(design), bytes, c.offset, false), c.status);
            testing::internal::GetCapturedStderr();
            EXPECT_TRUE(bytes.empty());
            continue;
        }
        Bytes const written(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
        std::free(buffer);
        if (c.status != kStatusOK)
            continue;
        CSimpleDesign read;
        ASSERT_EQ(ReadOne(written, read, false, c.offset), kStatusOK);
        EXPECT_EQ(Points(read), Points(design));
    }
}

// A pipe cannot seek back to patch block lengths; the file still gets
// exactly the bytes of WriteToMemory.
TEST(Vp3Writer, WritesToFilesThatCannotSeek)
{
    CSimpleDesign const design = MakeDesign({Record(1, 1, CAbsStitch::ColourChange), Record(200, 2), Record(3, 3)});
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* writeEnd = fdopen(ends[1], "w");
    ASSERT_NE(writeEnd, nullptr);
    CVP3ReadWrite vp3;
    EXPECT_EQ(vp3.WriteToFile(CDesignHolder(design), writeEnd, {0, 0}, true), kStatusOK);
    std::fclose(writeEnd);
    Bytes received(4096);
    ssize_t const got = read(ends[0], received.data(), received.size());
    close(ends[0]);
    ASSERT_GT(got, 0);
    received.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(received, WriteDesign(design));
}

struct SanitizeCase {
    char const* name;
    std::vector<CAbsStitch> records;
    bool changed;
    bool dropped;
    std::size_t records_after;
    std::size_t colours_after;
};

TEST(Vp3Sanitize, DropsColourBlocksWithoutANormalStitch)
{
    SanitizeCase const cases[] = {
        {"clean", {Record(0, 0, CAbsStitch::ColourChange), Record(1, 1)}, false, false, 2, 1},
        {"empty first block",
         {Record(0, 0, CAbsStitch::ColourChange), Record(1, 1, CAbsStitch::Jump), Record(1, 1, CAbsStitch::ColourChange),
          Record(2, 2)},
         true, false, 2, 1},
        {"empty last block",
         {Record(0, 0, CAbsStitch::ColourChange), Record(1, 1), Record(1, 1, CAbsStitch::ColourChange)}, true, false, 2,
         1},
        {"nothing left", {Record(0, 0, CAbsStitch::ColourChange), Record(1, 1, CAbsStitch::Trim)}, true, true, 0, 0},
    };
    for (auto const& c : cases) {
        std::shared_ptr<IDesign> design = std::make_shared<CSimpleDesign>(MakeDesign(c.records));
        EXPECT_EQ(StitchAlgorithms::Sanitize(design), c.changed) << c.name;
        EXPECT_EQ(design == nullptr, c.dropped) << c.name;
        if (design == nullptr)
            continue;
        EXPECT_EQ(design->GetStitchCount(), c.records_after) << c.name;
        EXPECT_EQ(design->GetColourCount(), c.colours_after) << c.name;
        auto const reader = HoldIterator(static_cast<IDesign const&>(*design).GetStitchReader());
        for (reader->First(); !reader->IsDone(); reader->Next())
            EXPECT_EQ(reader->GetCurrentItem().colourIndex, static_cast<int32_t>(c.colours_after) - 1) << c.name;
    }

    std::vector<std::shared_ptr<IDesign>> designs = {
        std::make_shared<CSimpleDesign>(MakeDesign({Record(0, 0, CAbsStitch::ColourChange)})),
        std::make_shared<CSimpleDesign>(MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(1, 1)})),
    };
    EXPECT_TRUE(StitchAlgorithms::Sanitize(designs));
    EXPECT_EQ(designs.size(), 1u);
}

TEST(Vp3Writer, WritesSeveralDesignsWithoutChangingThem)
{
    auto first = std::make_shared<CSimpleDesign>(MakeDesign(
        {Record(0, 0, CAbsStitch::ColourChange), Record(1, 1, CAbsStitch::Jump), Record(1, 1, CAbsStitch::ColourChange),
         Record(20, 20)}));
    auto second = std::make_shared<CSimpleDesign>(MakeDesign({Record(-50, 0, CAbsStitch::ColourChange), Record(0, 0)}));
    std::vector<std::shared_ptr<IDesign>> designs = {first, std::make_shared<CSimpleDesign>(), second};
    CVP3ReadWrite vp3;
    Archivers::MemoryStreamRW<IArchiverStream> stream;
    ASSERT_EQ(vp3.WriteToStream(CDesignHolder(&designs), stream, {0, 0}, false), kStatusOK);
    EXPECT_EQ(first->GetStitchCount(), 4u) << "the caller's design is not sanitised";
    FileWalker walker(stream.Content());
    walker.Walk();
    EXPECT_EQ(walker.blocks.size(), 2u);
    EXPECT_EQ(walker.colourBlockCount, 2u);
    EXPECT_EQ(walker.stitchCount, 4u);

    // The root's extents cover every design, and its notes merge theirs.
    auto left = std::make_shared<CSimpleDesign>(MakeDesign({Record(0, 0, CAbsStitch::ColourChange), Record(10, 10)}));
    auto right = std::make_shared<CSimpleDesign>(
        MakeDesign({Record(-20, 30, CAbsStitch::ColourChange), Record(5, 40)}));
    left->SetDesignNotes(L"left");
    right->SetDesignNotes(L"right");
    std::vector<std::shared_ptr<IDesign>> pair = {left, right};
    Archivers::MemoryStreamRW<IArchiverStream> pairStream;
    ASSERT_EQ(vp3.WriteToStream(CDesignHolder(&pair), pairStream, {0, 0}, false), kStatusOK);
    Bytes const& pairBytes = pairStream.Content();
    Bytes const notes = ByteBuilder().wide(MakeMergedNotes(L"left", L"right", true));
    ASSERT_TRUE(std::equal(notes.begin(), notes.end(), pairBytes.begin() + 56 + 7)) << "merged root notes";
    Bytes const extents = ByteBuilder().s32(1000).s32(0).s32(-2000).s32(-4000);
    EXPECT_TRUE(std::equal(extents.begin(), extents.end(), pairBytes.begin() + 56 + 7 + notes.size()))
        << "right, top, left, bottom of both designs";

    std::vector<std::shared_ptr<IDesign>> none = {std::make_shared<CSimpleDesign>()};
    EXPECT_EQ(vp3.WriteToStream(CDesignHolder(&none), stream, {0, 0}, true), kStatusNoStitches);
}

} // namespace
