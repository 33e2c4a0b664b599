#include "StitchFormats/StitchBuildingArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Show(CStitchBuildingArray const& array)
{
    std::string out;
    for (int i = 0; i < array.GetCount(); ++i)
        out += std::to_string(array[i].flags) + ":" + std::to_string(array[i].dx) + "," + std::to_string(array[i].dy)
               + " ";
    return out;
}

std::string Show(std::vector<CStitch> const& records)
{
    CStitchBuildingArray array;
    for (CStitch const& r : records)
        array.Add(r);
    return Show(array);
}

TEST(StitchBuildingArray, AddLongStitchSplitsIntoStepsAndMergesSmallRests)
{
    struct Case {
        int x2, y2;
        bool addIfNoMove;
        std::vector<CStitch> expected;
    } const cases[] = {
        {0, 0, true, {{STITCH_NORMAL, 0, 0}}},
        {0, 0, false, {}},
        {200, 0, false, {{STITCH_JUMP, 80, 0}, {STITCH_JUMP, 80, 0}, {STITCH_NORMAL, 40, 0}}},
        {163, 0, false, {{STITCH_JUMP, 80, 0}, {STITCH_NORMAL, 83, 0}}},
        {3, -2, false, {{STITCH_NORMAL, 3, -2}}},
        {0, -85, false, {{STITCH_NORMAL, 0, -85}}},
        {-160, 0, false, {{STITCH_JUMP, -80, 0}, {STITCH_NORMAL, -80, 0}}},
    };
    for (Case const& c : cases) {
        CStitchBuildingArray array;
        array.AddLongStitch(0, 0, c.x2, c.y2, 80.0, STITCH_NORMAL, c.addIfNoMove);
        EXPECT_EQ(Show(array), Show(c.expected)) << c.x2 << "," << c.y2;
    }
}

TEST(StitchBuildingArray, AddLongStitchReachesTheEndOfVeryLongMoves)
{
    // The rounded unit step drifts from the true direction over a long move;
    // the rest must still arrive in records that fit, not wrap around.
    struct Case {
        int x2, y2;
        uint8_t lastFlags;
    } const cases[] = {{30000, 184, STITCH_NORMAL}, {32767, 32767, STITCH_JUMP}, {-32768, 12345, STITCH_NORMAL}};
    for (Case const& c : cases) {
        CStitchBuildingArray array;
        array.AddLongStitch(0, 0, c.x2, c.y2, 80.0, c.lastFlags, false);
        int x = 0, y = 0;
        array.GetNeedlePosition(&x, &y);
        EXPECT_EQ(x, c.x2) << c.x2 << "," << c.y2;
        EXPECT_EQ(y, c.y2) << c.x2 << "," << c.y2;
        ASSERT_GT(array.GetCount(), 0);
        EXPECT_EQ(array[array.GetCount() - 1].flags, c.lastFlags);
    }
}

TEST(StitchBuildingArray, GrowsByItsStepAndStopsAtTheRecordLimit)
{
    CStitchBuildingArray array;
    for (int i = 0; i < 4001; ++i)
        ASSERT_TRUE(array.Add(CStitch{STITCH_NORMAL, 1, 1}));
    EXPECT_EQ(array.GetCount(), 4001);

    // A move of exactly as many steps as there is room for fills the array.
    constexpr int kLimit = CStitchBuildingArray::kMaxRecords;
    CStitchBuildingArray full;
    full.AddLongStitch(0, 0, 80 * kLimit, 0, 80.0, STITCH_NORMAL, false);
    ASSERT_EQ(full.GetCount(), kLimit);
    EXPECT_FALSE(full.HasOverflowed());
    EXPECT_EQ(full[kLimit - 2], (CStitch{STITCH_JUMP, 80, 0}));
    EXPECT_EQ(full[kLimit - 1], (CStitch{STITCH_NORMAL, 80, 0}));
    // A full array refuses further records without copying itself each time.
    CStitch const* const records = full.GetStitches();
    EXPECT_FALSE(full.Add(CStitch{STITCH_NORMAL, 1, 1}));
    EXPECT_EQ(full.GetStitches(), records);
    EXPECT_TRUE(full.HasOverflowed());

    // A move with one step more than there is room for, or a hostile one of
    // millions, is refused before it is walked: nothing is added.
    struct Case {
        int x2, y2;
    } const cases[] = {{80 * kLimit, 0}, {2'000'000'000, 2'000'000'000}};
    for (Case const& c : cases) {
        CStitchBuildingArray over;
        ASSERT_TRUE(over.Add(CStitch{STITCH_NORMAL, 1, 1}));
        over.AddLongStitch(0, 0, c.x2, c.y2, 80.0, STITCH_NORMAL, false);
        EXPECT_EQ(over.GetCount(), 1) << c.x2;
        EXPECT_TRUE(over.HasOverflowed()) << c.x2;
    }
}

TEST(StitchBuildingArray, NeedlePositionCountsOnlyMoves)
{
    CStitchBuildingArray array;
    int x = 7, y = 7;
    array.GetNeedlePosition(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    for (CStitch r : {CStitch{STITCH_NORMAL, 10, -3}, CStitch{STITCH_JUMP, 5, 5}, CStitch{STITCH_STOP, 9, 9},
                      CStitch{STITCH_COLOUR, 9, 9}, CStitch{STITCH_TRIM, 9, 9}, CStitch{STITCH_END, 9, 9}})
        array.Add(r);
    array.GetNeedlePosition(&x, &y);
    EXPECT_EQ(x, 15);
    EXPECT_EQ(y, 2);
}

TEST(StitchBuildingArray, RemoveInitialJumpStitchesDropsOnlyTheLeadingRun)
{
    CStitchBuildingArray array;
    for (CStitch r : {CStitch{STITCH_JUMP, 10, 0}, CStitch{STITCH_JUMP, 10, 0}, CStitch{STITCH_NORMAL, 1, 0},
                      CStitch{STITCH_JUMP, 3, 0}})
        array.Add(r);
    array.RemoveInitialJumpStitches();
    EXPECT_EQ(Show(array), Show({{STITCH_NORMAL, 1, 0}, {STITCH_JUMP, 3, 0}}));

    CStitchBuildingArray onlyJumps;
    onlyJumps.Add(CStitch{STITCH_JUMP, 1, 0});
    onlyJumps.RemoveInitialJumpStitches();
    EXPECT_EQ(onlyJumps.GetCount(), 0);
    EXPECT_TRUE(onlyJumps.Add(CStitch{STITCH_NORMAL, 1, 0}));
}

} // namespace
