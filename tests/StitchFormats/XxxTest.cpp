#include "ByteCodeReaderTesting.h"
#include "StitchFormats/Palettes.h"

#include <gtest/gtest.h>

namespace {

using namespace ByteCodeReaderTesting;
namespace SF = Brodix::StitchFormats;

constexpr std::size_t kHeaderSize = 256;
constexpr std::size_t kLengthOffset = 252;

// A table entry holds one ignored byte, then red, green and blue.
unsigned TableColour(int i)
{
    return RGBFromBytes(static_cast<unsigned char>(10 * i + 1), static_cast<unsigned char>(10 * i + 2),
                        static_cast<unsigned char>(10 * i + 3));
}

Bytes MakeXxx(Bytes const& stitches, bool withTable = false)
{
    Bytes file(kHeaderSize, 0);
    Append(file, stitches);
    if (withTable) {
        Append(file, {0xAA, 0xAA, 0xAA, 0xAA});
        for (int i = 0; i < 20; ++i) {
            unsigned const rgb = TableColour(i);
            Append(file, {0xEE, static_cast<unsigned char>(rgb), static_cast<unsigned char>(rgb >> 8),
                          static_cast<unsigned char>(rgb >> 16)});
        }
    }
    return file;
}

struct XxxCase {
    char const* name;
    Bytes stitches;
    char const* records;
    std::vector<unsigned> colours;
    bool withTable = false;
};

class XxxRecords : public testing::TestWithParam<XxxCase> {};

TEST_P(XxxRecords, DecodeAsExpected)
{
    XxxCase const& c = GetParam();
    Loaded const loaded = LoadBytes(MakeXxx(c.stitches, c.withTable), SF::FormatXXX);
    ASSERT_EQ(loaded.status, 0);
    EXPECT_EQ(loaded.records, c.records);
    EXPECT_EQ(loaded.colours, c.colours);
}

unsigned const kFirst = GetTovenrikRGB(1);

INSTANTIATE_TEST_SUITE_P(Xxx, XxxRecords, testing::Values(
    XxxCase{"StepsAndZeroPairKept", {0x05, 0x03, 0x00, 0x00, 0xFB, 0xFD, 0x7F, 0x7F}, "N5,3 N0,0 N-5,-3 E", {kFirst}},
    XxxCase{"TrailingZeroPairDropped", {0x05, 0x03, 0x00, 0x00, 0x7F, 0x7F}, "N5,3 E", {kFirst}},
    XxxCase{"ZeroPairsBeforeTheFirstMoveDropped",
            {0x00, 0x00, 0x7F, 0x09, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x03, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x01, 0x05,
             0x00, 0x00, 0x00, 0x0A, 0x00},
            "C T J5,0 N0,0 N10,0 E", {kFirst, kFirst}},
    XxxCase{"StitchInPlaceWhereALongJumpLands", {0x0A, 0x00, 0x7E, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00},
            "N10,0 J80,0 J80,0 N0,0 N10,0 E", {kFirst}},
    XxxCase{"Jump", {0x7F, 0x01, 0x05, 0x00, 0x0A, 0x00}, "J5,0 N10,0 E", {kFirst}},
    XxxCase{"ZeroJumpDropped", {0x7F, 0x01, 0x00, 0x00, 0x0A, 0x00}, "N10,0 E", {kFirst}},
    XxxCase{"TrimBeforeItsJump", {0x0A, 0x00, 0x7F, 0x03, 0x05, 0x00, 0x0A, 0x00}, "N10,0 T J5,0 N10,0 E", {kFirst}},
    XxxCase{"IgnoredCommands", {0x7F, 0x02, 0x7F, 0x04, 0x7F, 0x18, 0x7F, 0x1C, 0x0A, 0x00}, "N10,0 E", {kFirst}},
    XxxCase{"EndStopsReading", {0x0A, 0x00, 0x7F, 0x7F, 0x05, 0x00}, "N10,0 E", {kFirst}},
    // Code 8 writes its jump first; every other colour code after the change.
    XxxCase{"ColourEightJumpFirst", {0x0A, 0x00, 0x7F, 0x08, 0x05, 0x00, 0x0A, 0x00}, "N10,0 J5,0 C N10,0 E",
            {kFirst, GetTovenrikRGB(2)}},
    XxxCase{"ColourNineChangeFirst", {0x0A, 0x00, 0x7F, 0x09, 0x05, 0x00, 0x0A, 0x00}, "N10,0 C J5,0 N10,0 E",
            {kFirst, kFirst}},
    XxxCase{"ColourTwentyFiveIsEntryTwelve", {0x0A, 0x00, 0x7F, 0x19, 0x00, 0x00, 0x0A, 0x00}, "N10,0 C N10,0 E",
            {kFirst, GetTovenrikRGB(12)}},
    // x = 300: three jumps of 80, and the rest of 60 is too long to merge.
    XxxCase{"LongJump", {0x7E, 0x2C, 0x01, 0x00, 0x00, 0x0A, 0x00}, "J80,0 J80,0 J80,0 J60,0 N10,0 E", {kFirst}},
    XxxCase{"LongStitch", {0x7D, 0x2C, 0x01, 0x00, 0x00}, "J80,0 J80,0 J80,0 N60,0 E", {kFirst}},
    XxxCase{"LongStitchAfterColourFollowsIt", {0x0A, 0x00, 0x7F, 0x08, 0x7D, 0x64, 0x00, 0x00, 0x00},
            "N10,0 C J80,0 N20,0 E", {kFirst, GetTovenrikRGB(2)}},
    XxxCase{"LongJumpAfterJump", {0x7F, 0x01, 0x7E, 0x00, 0x00, 0x64, 0x00}, "J0,80 J0,20 E", {kFirst}},
    XxxCase{"TruncatedLongMoveEndsDesign", {0x0A, 0x00, 0x7E, 0x2C, 0x01}, "N10,0 E", {kFirst}},
    XxxCase{"RunOfColourChangesCollapses",
            {0x0A, 0x00, 0x7F, 0x09, 0x00, 0x00, 0x7F, 0x0C, 0x00, 0x00, 0x0A, 0x00, 0x7F, 0x7F}, "N10,0 C N10,0 E",
            {TableColour(0), TableColour(3)}, true},
    XxxCase{"TrailingColourChangeDropped", {0x0A, 0x00, 0x7F, 0x09, 0x00, 0x00, 0x7F, 0x7F}, "N10,0 E",
            {TableColour(0)}, true},
    // Code 8 names no entry: it moves on to the next one.
    XxxCase{"TableEntriesAdvance",
            {0x0A, 0x00, 0x7F, 0x08, 0x00, 0x00, 0x0A, 0x00, 0x7F, 0x1B - 8, 0x00, 0x00, 0x0A, 0x00, 0x7F, 0x08, 0x00,
             0x00, 0x0A, 0x00, 0x7F, 0x7F},
            "N10,0 C N10,0 C N10,0 C N10,0 E", {TableColour(0), TableColour(1), TableColour(10), TableColour(11)},
            true},
    XxxCase{"WithoutTableCyclesTovenrik",
            {0x0A, 0x00, 0x7F, 0x08, 0x00, 0x00, 0x0A, 0x00, 0x7F, 0x08, 0x00, 0x00, 0x0A, 0x00},
            "N10,0 C N10,0 C N10,0 E", {kFirst, GetTovenrikRGB(2), GetTovenrikRGB(3)}}),
    [](testing::TestParamInfo<XxxCase> const& info) { return info.param.name; });

TEST(Xxx, TableEntriesWrapAfterTwenty)
{
    Bytes stitches{0x0A, 0x00, 0x7F, 0x19, 0x00, 0x00};   // entry 12: table colour 11
    for (int i = 0; i < 9; ++i)
        Append(stitches, {0x0A, 0x00, 0x7F, 0x08, 0x00, 0x00});
    Append(stitches, {0x0A, 0x00, 0x7F, 0x7F});
    Loaded const loaded = LoadBytes(MakeXxx(stitches, true), SF::FormatXXX);
    ASSERT_EQ(loaded.status, 0);
    ASSERT_EQ(loaded.colours.size(), 11u);
    EXPECT_EQ(loaded.colours[1], TableColour(11));
    EXPECT_EQ(loaded.colours[9], TableColour(19));
    EXPECT_EQ(loaded.colours[10], TableColour(0));
}

TEST(Xxx, Refusals)
{
    Bytes tooLong = MakeXxx({0x0A, 0x00});
    tooLong[kLengthOffset] = 0x41;   // 5,000,001
    tooLong[kLengthOffset + 1] = 0x4B;
    tooLong[kLengthOffset + 2] = 0x4C;
    Bytes marker = MakeXxx({0x0A, 0x00});
    std::string const text = "SColourStitch";
    std::copy(text.begin(), text.end(), marker.begin() + 16);
    Bytes const shortHeader(kHeaderSize - 1, 0);
    for (Bytes const& file : {tooLong, marker, shortHeader})
        EXPECT_EQ(LoadBytes(file, SF::FormatXXX).status, 5);

    Bytes justFits = tooLong;
    justFits[kLengthOffset] = 0x40;   // 5,000,000
    EXPECT_EQ(LoadBytes(justFits, SF::FormatXXX).status, 0);
}

// A long move of (32767, 32767) counts 582 records, so a few thousand of them
// declare more than the 5,000,000 records a design may have.
TEST(Xxx, LongMovesBeyondTheStitchLimitRefused)
{
    auto longJumps = [](int n) {
        Bytes stitches;
        for (int i = 0; i < n; ++i)
            Append(stitches, {0x7E, 0xFF, 0x7F, 0xFF, 0x7F});
        return MakeXxx(stitches);
    };
    EXPECT_EQ(LoadBytes(longJumps(8591), SF::FormatXXX).status, 0);
    EXPECT_EQ(LoadBytes(longJumps(8592), SF::FormatXXX).status, 5);
}

TEST(Xxx, CorpusLoads)
{
    // These two put their stitches at 252, where the length field belongs; the
    // first stitch bytes read as a length of 1,796,079,999.
    ExpectCorpusLoads("xxx", SF::FormatXXX,
                      {{"PEmbroider_bitmap_image_2.xxx", 5},
                       {"PEmbroider_bitmap_image_2_PEmbroider_bitmap_image_2.xxx", 5}});
}

} // namespace
