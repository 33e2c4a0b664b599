#include "StitchAlgorithms/JumpStitchRemover.h"
#include "StitchAlgorithmsTesting.h"
#include <gtest/gtest.h>
#include <set>
#include <vector>

using namespace Brodix;
using namespace StitchAlgorithmsTesting;
using Brodix::StitchAlgorithms::CJumpStitchRemover;

namespace {

std::vector<uint8_t> Verdict(std::vector<CAbsStitch> const& records)
{
    CSimpleDesign const design = MakeDesign(records);
    std::vector<uint8_t> verdict{7, 7, 7};   // whatever was there is replaced
    CJumpStitchRemover::RemoveJumps(design, verdict);
    return verdict;
}

std::set<std::size_t> Hidden(std::vector<uint8_t> const& verdict)
{
    std::set<std::size_t> hidden;
    for (std::size_t k = 0; k < verdict.size(); ++k)
        if (verdict[k] == 0)
            hidden.insert(k);
    return hidden;
}

} // namespace

TEST(JumpStitchRemover, VerdictHasOneByteMoreThanTheRecords)
{
    EXPECT_EQ(Verdict({}), std::vector<uint8_t>{1});
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange)};
    AddFillRows(records, 150, 30, 3);
    EXPECT_EQ(Verdict(records).size(), records.size() + 1);
}

TEST(JumpStitchRemover, FillOfShortStitchesStaysDrawn)
{
    struct Case {
        int rowLength;
        int stitchLength;
    };
    // One stitch per row (a zig-zag) and rows of several stitches.
    for (Case const c : {Case{30, 30}, Case{150, 30}, Case{300, 25}}) {
        std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange)};
        AddFillRows(records, c.rowLength, c.stitchLength, 12);
        EXPECT_TRUE(Hidden(Verdict(records)).empty()) << c.rowLength << "/" << c.stitchLength;
    }
}

TEST(JumpStitchRemover, LongStitchBetweenTwoFillsIsHidden)
{
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange)};
    AddFillRows(records, 150, 30, 6);
    CommonTypes::PointI const end = records.back().position;
    records.push_back(Record(end.x + 600, end.y));   // 60 mm
    std::size_t const longStitch = records.size() - 1;
    AddFillRows(records, 150, 30, 6);
    EXPECT_EQ(Hidden(Verdict(records)), std::set<std::size_t>{longStitch});
}

TEST(JumpStitchRemover, LoneStitchBetweenCommandsIsDrawnUpToEightMillimetres)
{
    struct Case {
        CommonTypes::PointI to;
        bool drawn;
    };
    for (Case const c : {Case{{90, 0}, false}, Case{{80, 0}, true}, Case{{48, 64}, true}, Case{{54, 72}, false}}) {
        std::vector<uint8_t> const verdict = Verdict({Record(0, 0, CAbsStitch::ColourChange), Record(c.to.x, c.to.y),
                                                      Record(c.to.x, c.to.y, CAbsStitch::Stop)});
        EXPECT_EQ(verdict[1] != 0, c.drawn) << c.to.x << "," << c.to.y;
        EXPECT_EQ(verdict[0], 1);
        EXPECT_EQ(verdict[2], 1);
    }
}

TEST(JumpStitchRemover, JumpsAfterTrimAreHiddenAfterColourChangeJudgedByLength)
{
    struct Case {
        char const* name;
        uint8_t command;
        int jumpStep;
        std::set<std::size_t> hidden;
    };
    Case const cases[] = {
        {"short jumps after a trim", CAbsStitch::Trim, 20, {4, 5, 6}},
        {"short jumps after a colour change", CAbsStitch::ColourChange, 20, {}},
        {"long jumps after a colour change", CAbsStitch::ColourChange, 400, {4, 5, 6}},
        {"short jumps after a stop", CAbsStitch::Stop, 20, {}},
    };
    for (Case const& c : cases) {
        int const s = c.jumpStep;
        std::vector<CAbsStitch> const records{
            Record(0, 0, CAbsStitch::ColourChange), Record(30, 0), Record(60, 0), Record(60, 0, c.command),
            Record(60 + s, 0, CAbsStitch::Jump), Record(60 + 2 * s, 0, CAbsStitch::Jump),
            Record(70 + 2 * s, 0), Record(80 + 2 * s, 0)};
        EXPECT_EQ(Hidden(Verdict(records)), c.hidden) << c.name;
    }
}

TEST(JumpStitchRemover, JumpsEndingAtACommandOrTheEndAreHidden)
{
    std::vector<CAbsStitch> const toCommand{Record(0, 0, CAbsStitch::ColourChange), Record(30, 0),
                                            Record(40, 0, CAbsStitch::Jump), Record(50, 0, CAbsStitch::Jump),
                                            Record(50, 0, CAbsStitch::Stop), Record(60, 0)};
    EXPECT_EQ(Hidden(Verdict(toCommand)), (std::set<std::size_t>{2, 3}));
    std::vector<CAbsStitch> const toEnd{Record(0, 0, CAbsStitch::ColourChange), Record(30, 0),
                                        Record(40, 0, CAbsStitch::Jump)};
    EXPECT_EQ(Hidden(Verdict(toEnd)), std::set<std::size_t>{2});
}

TEST(JumpStitchRemover, OverLongFirstMoveHidesTheFirstRowOfAFill)
{
    // A 42 mm move into the fill, then a row of 13 mm and 5 mm stitches in the
    // same direction; the fill's own stitches make anything over about 17 mm long.
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange), Record(420, 0), Record(550, 0)};
    AddFillRows(records, 1000, 50, 4);
    std::size_t const firstRowEnd = 2 + 1000 / 50;
    std::set<std::size_t> expected;
    for (std::size_t k = 1; k <= firstRowEnd; ++k)
        expected.insert(k);
    EXPECT_EQ(Hidden(Verdict(records)), expected);
}

TEST(JumpStitchRemover, MiddleLengthOpeningStitchBeforeShortOnesIsHidden)
{
    // 30 mm into a run of short stitches: the opening move is no fill row.
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange), Record(300, 0)};
    AddFillRows(records, 150, 30, 6);
    EXPECT_EQ(Hidden(Verdict(records)), std::set<std::size_t>{1});
}
