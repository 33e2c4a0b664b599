#include "ByteCodeReaderTesting.h"
#include "StitchFormats/Palettes.h"

#include <gtest/gtest.h>

namespace {

using namespace ByteCodeReaderTesting;
namespace SF = Brodix::StitchFormats;

struct ExpCase {
    char const* name;
    Bytes bytes;
    int status;
    char const* records;
    std::size_t colours;
};

class ExpRecords : public testing::TestWithParam<ExpCase> {};

TEST_P(ExpRecords, DecodeAsExpected)
{
    ExpCase const& c = GetParam();
    Loaded const loaded = LoadBytes(c.bytes, SF::FormatEXP);
    ASSERT_EQ(loaded.status, c.status);
    if (c.status != 0)
        return;
    EXPECT_EQ(loaded.records, c.records);
    EXPECT_EQ(loaded.colours.size(), c.colours);
}

// Steps are signed bytes: 0xF6 is -10, 0xFB is -5.
INSTANTIATE_TEST_SUITE_P(Exp, ExpRecords, testing::Values(
    ExpCase{"Steps", {0x0A, 0x05, 0xF6, 0xFB}, 0, "N10,5 N-10,-5 E", 1},
    ExpCase{"EmptyFile", {}, 0, "E", 1},
    ExpCase{"OddTrailingByteIgnored", {0x0A, 0x00, 0x05}, 0, "N10,0 E", 1},
    ExpCase{"ColourChangeSwallowsZeroPair", {0x0A, 0x00, 0x80, 0x01, 0x00, 0x00, 0x05, 0x00}, 0, "N10,0 C N5,0 E", 2},
    ExpCase{"ColourChangeThree", {0x0A, 0x00, 0x80, 0x03, 0x05, 0x01}, 0, "N10,0 C N5,1 E", 2},
    ExpCase{"ZeroSumPairSwallowed", {0x0A, 0x00, 0x80, 0x01, 0x05, 0xFB, 0x05, 0x00}, 0, "N10,0 C N5,0 E", 2},
    ExpCase{"TrailingColourChangeBecomesStitch", {0x0A, 0x00, 0x80, 0x01, 0x00, 0x00}, 0, "N10,0 N0,0 E", 1},
    // The change is followed only by a jump whose steps sum to 0: it starts no colour.
    ExpCase{"ColourChangeBeforeZeroSumJumpDropped", {0x0A, 0x00, 0x80, 0x01, 0x80, 0x04, 0x05, 0xFB}, 0,
            "N10,0 N0,0 J5,-5 E", 1},
    ExpCase{"ExplicitTrimSkipsAPair", {0x0A, 0x00, 0x80, 0x80, 0x07, 0x00, 0x14, 0x00, 0x05, 0x00}, 0,
            "N10,0 T J20,0 N5,0 E", 1},
    ExpCase{"ThreeJumpsAfterStitchTrim",
            {0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x02, 0x0A, 0x00, 0x05, 0x00}, 0,
            "N10,0 T J10,0 J10,0 J10,0 N5,0 E", 1},
    ExpCase{"FourJumpsOneTrim",
            {0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A,
             0x00, 0x05, 0x00},
            0, "N10,0 T J10,0 J10,0 J10,0 J10,0 N5,0 E", 1},
    ExpCase{"TwoJumpsNoTrim", {0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x05, 0x00}, 0,
            "N10,0 J10,0 J10,0 N5,0 E", 1},
    ExpCase{"JumpsBeforeFirstStitchNoTrim",
            {0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x04, 0x0A, 0x00, 0x05, 0x00}, 0,
            "J10,0 J10,0 J10,0 N5,0 E", 1},
    ExpCase{"OtherEscapeIsJump", {0x80, 0x00, 0x05, 0x05, 0x80, 0x81, 0x01, 0x01}, 0, "J5,5 J1,1 E", 1},
    ExpCase{"MarkerTextRefused", {'S', 'C', 'o', 'l', 'o', 'u', 'r', 'S', 't', 'i', 't', 'c', 'h'}, 5, "", 0}),
    [](testing::TestParamInfo<ExpCase> const& info) { return info.param.name; });

TEST(Exp, ColoursCycleThroughTovenrikFromEntryOne)
{
    Bytes file;
    for (int i = 0; i < 29; ++i)
        Append(file, {0x01, 0x00, 0x80, 0x01});
    Append(file, {0x01, 0x00});
    Loaded const loaded = LoadBytes(file, SF::FormatEXP);
    ASSERT_EQ(loaded.status, 0);
    ASSERT_EQ(loaded.colours.size(), 30u);
    EXPECT_EQ(loaded.colours[0], GetTovenrikRGB(1));
    EXPECT_EQ(loaded.colours[27], GetTovenrikRGB(28));
    EXPECT_EQ(loaded.colours[28], GetTovenrikRGB(1));
}

TEST(Exp, CorpusLoads)
{
    ExpectCorpusLoads("exp", SF::FormatEXP);
}

} // namespace
