#include "ByteCodeReaderTesting.h"
#include "StitchFormats/Palettes.h"

#include <gtest/gtest.h>

namespace {

using namespace ByteCodeReaderTesting;
namespace SF = Brodix::StitchFormats;

struct TenOCase {
    char const* name;
    Bytes bytes;
    char const* records;
    std::size_t colours;
};

class TenORecords : public testing::TestWithParam<TenOCase> {};

TEST_P(TenORecords, DecodeAsExpected)
{
    TenOCase const& c = GetParam();
    Loaded const loaded = LoadBytes(c.bytes, SF::Format10o);
    ASSERT_EQ(loaded.status, 0);
    EXPECT_EQ(loaded.records, c.records);
    EXPECT_EQ(loaded.colours.size(), c.colours);
}

// Bit 4 of the command makes a jump, bit 5 negates x (the third byte), bit 6 y.
INSTANTIATE_TEST_SUITE_P(TenO, TenORecords, testing::Values(
    TenOCase{"Jump", {0x10, 0x05, 0x0A}, "J10,5", 1},
    TenOCase{"NegatedStitch", {0x60, 0x05, 0x0A}, "N-10,-5", 1},
    TenOCase{"OtherHighCommandsAreSteps", {0x83, 0x01, 0x02, 0x89, 0x03, 0x04}, "N2,1 N4,3", 1},
    TenOCase{"Commands", {0x81, 0, 0, 0x82, 0, 0, 0x8A, 0x7F, 0x7F, 0x85, 0, 0, 0x00, 0x01, 0x01}, "T S C N1,1", 2},
    TenOCase{"EndStopsReading", {0x00, 0x01, 0x01, 0x87, 0x00, 0x00, 0x00, 0x02, 0x02}, "N1,1 E", 1},
    TenOCase{"ShortFile", {0x00, 0x01}, "", 1},
    TenOCase{"ShortTailIgnored", {0x00, 0x01, 0x01, 0x00}, "N1,1", 1},
    // Whole-byte magnitudes beyond a record's range are split into equal parts.
    TenOCase{"LongStepSplit", {0x00, 0xC8, 0xFF}, "J85,66 J85,67 N85,67", 1},
    TenOCase{"LongNegativeJumpSplit", {0x70, 0xC8, 0x00}, "J0,-100 J0,-100", 1}),
    [](testing::TestParamInfo<TenOCase> const& info) { return info.param.name; });

TEST(TenO, ColoursCycleThroughTovenrikFromEntryOne)
{
    Bytes file;
    for (int i = 0; i < 28; ++i)
        Append(file, {0x85, 0x00, 0x00});
    Loaded const loaded = LoadBytes(file, SF::Format10o);
    ASSERT_EQ(loaded.status, 0);
    ASSERT_EQ(loaded.colours.size(), 29u);
    EXPECT_EQ(loaded.colours[0], GetTovenrikRGB(1));
    EXPECT_EQ(loaded.colours[27], GetTovenrikRGB(28));
    EXPECT_EQ(loaded.colours[28], GetTovenrikRGB(1));
}

TEST(TenO, MarkerTextRefused)
{
    std::string const text = "xxSColourStitch";
    EXPECT_EQ(LoadBytes(Bytes(text.begin(), text.end()), SF::Format10o).status, 5);
}

TEST(TenO, CorpusLoads)
{
    ExpectCorpusLoads("10o", SF::Format10o);
}

} // namespace
