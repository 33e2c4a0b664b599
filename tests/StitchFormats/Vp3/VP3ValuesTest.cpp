// Value encodings, class block framing and placement transforms.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include "StitchFormats/Vp3/VP3Values.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using Bytes = std::vector<unsigned char>;
using MemoryStream = Archivers::MemoryStreamRW<IArchiverStream>;

Bytes Written(std::function<void(IArchiverStream&)> const& write)
{
    MemoryStream stream;
    write(stream);
    return stream.Content();
}

struct EncodingCase {
    char const* name;
    std::function<void(IArchiverStream&)> write;
    Bytes expected;
};

TEST(Vp3Values, WritesBigEndianValuesAndCountedStrings)
{
    std::wstring const empty;
    std::wstring const ab = L"AB";
    std::wstring const astral = L"\U0001F600";   // only its low 16 bits survive
    std::string const narrow = "xy";
    EncodingCase const cases[] = {
        {"u32", [](IArchiverStream& s) { Write(s, 0x01020304u); }, {1, 2, 3, 4}},
        {"s32", [](IArchiverStream& s) { Write(s, -2); }, {0xFF, 0xFF, 0xFF, 0xFE}},
        {"s16", [](IArchiverStream& s) { Write(s, static_cast<short>(-2)); }, {0xFF, 0xFE}},
        {"u16", [](IArchiverStream& s) { Write(s, static_cast<unsigned short>(0x1234)); }, {0x12, 0x34}},
        {"s8", [](IArchiverStream& s) { Write(s, static_cast<signed char>(-10)); }, {0xF6}},
        {"empty wide", [&](IArchiverStream& s) { Write(s, &empty); }, {0, 0}},
        {"null wide", [](IArchiverStream& s) { Write(s, static_cast<std::wstring const*>(nullptr)); }, {0, 0}},
        {"wide AB", [&](IArchiverStream& s) { Write(s, &ab); }, {0, 4, 0, 0x41, 0, 0x42}},
        {"astral", [&](IArchiverStream& s) { Write(s, &astral); }, {0, 2, 0xF6, 0x00}},
        {"narrow", [&](IArchiverStream& s) { Write(s, &narrow); }, {0, 2, 'x', 'y'}},
    };
    for (auto const& c : cases)
        EXPECT_EQ(Written(c.write), c.expected) << c.name;

    Bytes cursorBytes(2);
    unsigned char* cursor = cursorBytes.data();
    Write(cursor, static_cast<short>(-2));
    EXPECT_EQ(cursor, cursorBytes.data() + 2);
    EXPECT_EQ(cursorBytes, (Bytes{0xFF, 0xFE}));
}

// The count field is a byte count: a longer text is cut so that the count
// still matches the characters written.
TEST(Vp3Values, CutsWideStringsToWhatTheCountDescribes)
{
    std::wstring const longText(40000, L'a');
    Bytes const bytes = Written([&](IArchiverStream& s) { Write(s, &longText); });
    ASSERT_EQ(bytes.size(), 2u + 2u * 32767u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
}

TEST(Vp3Values, ReadsWhatItWrites)
{
    MemoryStream stream;
    std::wstring const text = L"Gr\u00FC\u00DFe";
    std::string const narrow = "thread";
    Write(stream, 0x80000001u);
    Write(stream, static_cast<short>(-300));
    Write(stream, static_cast<signed char>(-128));
    Write(stream, &text);
    Write(stream, &narrow);
    stream.SetPos(0);
    unsigned int u32 = 0;
    short s16 = 0;
    signed char s8 = 0;
    std::wstring wide = L"stale";
    std::string small = "stale";
    Read(stream, u32);
    Read(stream, s16);
    Read(stream, s8);
    Read(stream, &wide);
    Read(stream, &small);
    EXPECT_EQ(u32, 0x80000001u);
    EXPECT_EQ(s16, -300);
    EXPECT_EQ(s8, -128);
    EXPECT_EQ(wide, text);
    EXPECT_EQ(small, narrow);
    EXPECT_TRUE(stream.IsEOF());
}

TEST(Vp3Values, WideStringReadConsumesWholeUnitsAndSkipsExactly)
{
    Bytes const oddCount = {0, 3, 0, 0x41, 0, 0x42, 0x99};
    MemoryStream withTarget(oddCount);
    std::wstring text;
    Read(withTarget, &text);
    EXPECT_EQ(text, L"AB");
    EXPECT_EQ(withTarget.GetPos(), 2u + 4u);   // L + 1 bytes for an odd L

    MemoryStream skipped(oddCount);
    Read(skipped, static_cast<std::wstring*>(nullptr));
    EXPECT_EQ(skipped.GetPos(), 2u + 3u);      // exactly L bytes
}

// Missing bytes read as zero, and a hostile count stops at the end of the data.
TEST(Vp3Values, ReadsPastTheEndGiveZeroAndStop)
{
    MemoryStream shortInt(Bytes{0x12, 0x34});
    unsigned int value = 0xFFFFFFFF;
    Read(shortInt, value);
    EXPECT_EQ(value, 0x12340000u);

    MemoryStream truncated(Bytes{0xFF, 0xFE, 0, 0x41, 0x42});
    std::wstring text;
    Read(truncated, &text);
    EXPECT_EQ(text, std::wstring(L"A") + wchar_t(0x4200));

    MemoryStream raw(Bytes{7});
    char buffer[3] = {1, 1, 1};
    Read(raw, buffer, 3);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(buffer[2], 0);
}

TEST(Vp3Values, BlockStreamStopsReadsAtTheBlockEnd)
{
    MemoryStream inner(Bytes{1, 2, 3, 4, 5, 6});
    inner.SetPos(1);
    CBlockStream block(inner, 3);
    unsigned int value = 0;
    Read(block, value);
    EXPECT_EQ(value, 0x02030000u);
    EXPECT_EQ(Remaining(block), 0u);
    CBlockStream beyond(inner, 1000);   // a length beyond the data ends with the data
    EXPECT_EQ(beyond.GetSize(), 6u);
}

TEST(Vp3ClassBlock, BackPatchesLengthsOfEmptyAndNestedBlocks)
{
    Bytes const empty = Written([](IArchiverStream& s) { CWriteClassInfoBlock block(&s, {5, 0, 0, 0}); });
    EXPECT_EQ(empty, (Bytes{0, 5, 0, 0, 0, 0, 0}));

    Bytes const nested = Written([](IArchiverStream& s) {
        CWriteClassInfoBlock outer(&s, {2, 0, 0, 0});
        Write(s, static_cast<unsigned char>(0xAA));
        {
            CWriteClassInfoBlock inner(&s, {3, 0, 0, 0});
            Write(s, static_cast<short>(0x0102));
        }
        Write(s, static_cast<unsigned char>(0xBB));
    });
    EXPECT_EQ(nested, (Bytes{0, 2, 0, 0, 0, 0, 11, 0xAA, 0, 3, 0, 0, 0, 0, 2, 1, 2, 0xBB}));

    MemoryStream stream(nested);
    CPatternClassHeader header;
    CPatternBase::ReadClassInfo(stream, header);
    EXPECT_EQ(header.classID, 2);
    EXPECT_EQ(header.length, 11u);
    EXPECT_EQ(header.endPosition, nested.size());
    stream.SetPos(0);
    CPatternBase::ReadClassInfo(stream, header);
    CPatternBase::SkipClass(stream, header);
    EXPECT_TRUE(stream.IsEOF());
}

struct MatrixCase {
    bool mirrorY;
    bool mirrorX;
    int angle;
    CMatrix2x2 expected;
};

TEST(Vp3Geometry, TransformMatrixMirrorsAndRotates)
{
    MatrixCase const cases[] = {
        {false, false, 0, {1, 0, 0, 1}},
        {false, true, 0, {-1, 0, 0, 1}},
        {true, false, 0, {1, 0, 0, -1}},
        {false, false, 90, {0, -1, 1, 0}},
        {true, true, 180, {1, 0, 0, 1}},
    };
    for (auto const& c : cases) {
        CMatrix2x2 const m = CalculateTMatrix(c.mirrorY, c.mirrorX, c.angle, CMatrix2x2(1, 0, 0, 1));
        EXPECT_NEAR(m.m00, c.expected.m00, 1e-9) << c.angle;
        EXPECT_NEAR(m.m01, c.expected.m01, 1e-9) << c.angle;
        EXPECT_NEAR(m.m10, c.expected.m10, 1e-9) << c.angle;
        EXPECT_NEAR(m.m11, c.expected.m11, 1e-9) << c.angle;
    }
    // With a matrix m other than the identity the order shows: R·D·m, worked
    // out by hand. Each case differs from every other order of its factors.
    struct OrderCase {
        bool mirrorY;
        bool mirrorX;
        int angle;
        CMatrix2x2 m;
        CMatrix2x2 expected;
    } const orderCases[] = {
        // Mirror-x, quarter turn, shear: D·R·m = [[0, 1], [1, 2]], m·R·D = [[-2, -1], [-1, 0]],
        // R·m·D = [[0, -1], [-1, 2]], D·m·R = [[-2, 1], [1, 0]], m·D·R = [[2, 1], [1, 0]].
        {false, true, 90, {1, 2, 0, 1}, {0, -1, -1, -2}},
        // Mirror-y only: D·m negates m's second row, m·D would negate its second column.
        {true, false, 0, {1, 2, 3, 4}, {1, 2, -3, -4}},
        // Quarter turn only: m·R would be [[2, -1], [4, -3]].
        {false, false, 90, {1, 2, 3, 4}, {-3, -4, 1, 2}},
    };
    for (auto const& c : orderCases) {
        CMatrix2x2 const t = CalculateTMatrix(c.mirrorY, c.mirrorX, c.angle, c.m);
        EXPECT_NEAR(t.m00, c.expected.m00, 1e-9) << c.angle;
        EXPECT_NEAR(t.m01, c.expected.m01, 1e-9) << c.angle;
        EXPECT_NEAR(t.m10, c.expected.m10, 1e-9) << c.angle;
        EXPECT_NEAR(t.m11, c.expected.m11, 1e-9) << c.angle;
    }
    CVector2Col const v = CMatrix2x2(2, 0, 0, 3) * CVector2Col(CommonTypes::PointI{1, -1}) + CVector2Col(1, 1);
    EXPECT_EQ(v.x, 3.0);
    EXPECT_EQ(v.y, -2.0);
}

TEST(Vp3Geometry, RoundsHalfAwayFromZeroAndSaturates)
{
    EXPECT_EQ(RoundToCoordinate(2.5), 3);
    EXPECT_EQ(RoundToCoordinate(-2.5), -3);
    EXPECT_EQ(RoundToCoordinate(1e12), 2147483647);
    EXPECT_EQ(RoundToCoordinate(-1e12), -2147483647);
    EXPECT_FALSE(Private::IsCriticalError(3));
    EXPECT_TRUE(Private::IsCriticalError(4));
}

} // namespace
