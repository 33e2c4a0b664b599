#include "StitchFormats/ColourRules.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/StitchFormats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::ColourData;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::PointI;
namespace SF = Brodix::StitchFormats;

// One letter per record kind keeps the tables readable.
struct R {
    char kind;   // N normal, J jump, C colour change, S stop, T trim
    int x, y;
};

uint8_t TypeOf(char kind)
{
    switch (kind) {
    case 'J': return CAbsStitch::Jump;
    case 'C': return CAbsStitch::ColourChange;
    case 'S': return CAbsStitch::Stop;
    case 'T': return CAbsStitch::Trim;
    default: return CAbsStitch::Normal;
    }
}

std::vector<CAbsStitch> Make(std::vector<R> const& records)
{
    std::vector<CAbsStitch> out;
    for (R const& r : records)
        out.push_back(CAbsStitch{PointI{r.x, r.y}, 0, TypeOf(r.kind), false, true});
    return out;
}

std::string Show(std::vector<CAbsStitch> const& stitches)
{
    std::string out;
    for (CAbsStitch const& s : stitches)
        out += "NJCST"[s.type] + std::string("(") + std::to_string(s.position.x) + "," + std::to_string(s.position.y)
               + ") ";
    return out;
}

TEST(ColourRules, NewRulesPutEachColourChangeOnTheFirstStitchOfItsColour)
{
    struct Case {
        std::vector<R> in, out;
    } const cases[] = {
        {{}, {}},
        {{{'C', 0, 0}}, {{'C', 0, 0}}},
        {{{'C', 0, 0}, {'J', 5, 5}, {'N', 6, 6}}, {{'C', 6, 6}}},
        {{{'C', 0, 0}, {'N', 1, 1}, {'N', 2, 2}, {'C', 2, 2}, {'N', 3, 3}},
         {{'C', 1, 1}, {'N', 2, 2}, {'C', 3, 3}}},
        {{{'C', 0, 0}, {'C', 1, 1}, {'N', 3, 3}, {'N', 4, 4}}, {{'C', 0, 0}, {'C', 3, 3}, {'N', 4, 4}}},
        // A stop or trim after a jump happens where the needle last was.
        {{{'C', 0, 0}, {'N', 1, 1}, {'N', 2, 2}, {'J', 50, 50}, {'S', 50, 50}, {'J', 60, 60}, {'T', 60, 60}},
         {{'C', 1, 1}, {'N', 2, 2}, {'S', 2, 2}, {'T', 2, 2}}},
        // The record that moves up after a merge is not merged into the colour change again.
        {{{'C', 0, 0}, {'N', 1, 1}, {'S', 1, 1}, {'N', 9, 9}}, {{'C', 1, 1}, {'S', 1, 1}, {'N', 9, 9}}},
        // Trims and jumps between a colour change and its first stitch are passed over.
        {{{'C', 0, 0}, {'J', 300, 0}, {'T', 300, 0}, {'J', 320, 10}, {'N', 325, 15}, {'N', 330, 15}},
         {{'C', 325, 15}, {'N', 330, 15}}},
        {{{'C', 0, 0}, {'N', 1, 1}, {'N', 2, 2}, {'C', 2, 2}, {'T', 2, 2}, {'J', 50, 50}, {'T', 50, 50},
          {'N', 51, 51}, {'N', 52, 52}, {'N', 53, 53}},
         {{'C', 1, 1}, {'N', 2, 2}, {'C', 51, 51}, {'N', 52, 52}, {'N', 53, 53}}},
        // Without a stitch after the trims the colour change takes the next record, as before.
        {{{'C', 0, 0}, {'T', 0, 0}, {'C', 5, 5}, {'N', 6, 6}, {'N', 7, 7}}, {{'C', 0, 0}, {'C', 6, 6}, {'N', 7, 7}}},
        {{{'C', 0, 0}, {'T', 0, 0}, {'S', 0, 0}, {'N', 6, 6}}, {{'C', 0, 0}, {'S', 0, 0}, {'N', 6, 6}}},
        {{{'N', 1, 1}, {'C', 1, 1}, {'T', 1, 1}}, {{'N', 1, 1}, {'C', 1, 1}}},
    };
    for (Case const& c : cases) {
        auto stitches = Make(c.in);
        Brodix::StitchAlgorithms::ConvertStitchesToNewColourRules(stitches, std::vector<ColourData>{});
        EXPECT_EQ(Show(stitches), Show(Make(c.out))) << Show(Make(c.in));
    }
}

TEST(ColourRules, OldRulesPutEachColourChangeOnTheLastStitchOfThePreviousColour)
{
    struct Case {
        std::vector<R> in, out;
    } const cases[] = {
        {{{'C', 0, 0}}, {{'C', 0, 0}}},
        {{{'N', 1, 1}, {'C', 2, 2}}, {{'N', 1, 1}, {'C', 2, 2}}},
        // The first colour change goes to the centre of the box, (10, 5) here.
        {{{'C', 0, 0}, {'N', 10, 0}, {'N', 20, 10}}, {{'C', 10, 5}, {'N', 0, 0}, {'N', 10, 0}, {'N', 20, 10}}},
        {{{'C', 10, 5}, {'N', 0, 0}, {'N', 20, 10}}, {{'C', 11, 5}, {'N', 10, 5}, {'N', 0, 0}, {'N', 20, 10}}},
        {{{'C', 0, 0}, {'N', 4, 4}, {'J', 7, 7}, {'C', 8, 8}, {'N', 9, 9}},
         {{'C', 4, 4}, {'N', 0, 0}, {'N', 4, 4}, {'C', 4, 4}, {'N', 8, 8}, {'N', 9, 9}}},
    };
    for (Case const& c : cases) {
        auto stitches = Make(c.in);
        Brodix::StitchAlgorithms::ConvertStitchesToOldColourRules(stitches, std::vector<ColourData>{});
        EXPECT_EQ(Show(stitches), Show(Make(c.out))) << Show(Make(c.in));
    }
}

TEST(ColourRules, DesignIsRebuiltWithItsColoursInOrder)
{
    CSimpleDesign design;
    ColourData red = ColourData::Default(), blue = ColourData::Default();
    red.colours[0] = 0x0000FF;
    blue.colours[0] = 0xFF0000;
    design.AddColourStitch(red, PointI{0, 0}, false);
    design.AddStitch(CAbsStitch{PointI{1, 1}, 0, CAbsStitch::Normal, false, true});
    design.AddStitch(CAbsStitch{PointI{9, 9}, 0, CAbsStitch::Jump, false, true});
    design.AddColourStitch(blue, PointI{9, 9}, true);
    design.AddStitch(CAbsStitch{PointI{10, 10}, 1, CAbsStitch::Normal, false, true});
    design.SetDesignNotes(L"kept");

    SF::ConvertStitchesForColourRules(design, SF::NewColourRules);
    ASSERT_EQ(design.GetStitchCount(), 2u);
    ASSERT_EQ(design.GetColourCount(), 2u);
    EXPECT_EQ(design.GetColour(0), red);
    EXPECT_EQ(design.GetColour(1), blue);
    auto reader = Brodix::HoldIterator(static_cast<IDesign const&>(design).GetStitchReader());
    reader->First();
    reader->Next();
    CAbsStitch const second = reader->GetCurrentItem();
    EXPECT_EQ(second.position, (PointI{10, 10}));
    EXPECT_EQ(second.colourIndex, 1);
    EXPECT_TRUE(second.colourChangeFlag);
    EXPECT_EQ(design.GetDesignNotes(), L"kept");
}

} // namespace
