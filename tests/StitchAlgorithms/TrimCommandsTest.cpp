#include "StitchAlgorithms/JumpStitchRemover.h"
#include "StitchAlgorithms/TrimCommands.h"
#include "StitchAlgorithmsTesting.h"
#include <gtest/gtest.h>
#include <vector>

using namespace Brodix;
using namespace StitchAlgorithmsTesting;
namespace SA = Brodix::StitchAlgorithms;

namespace {

CAbsStitch Hidden(CAbsStitch record)
{
    record.visible = false;
    return record;
}

std::vector<ColourData> Colours(IDesign const& design)
{
    std::vector<ColourData> colours;
    CSimpleDesign::GrabColours(design, std::back_inserter(colours));
    return colours;
}

} // namespace

TEST(HideIrrelevantLongStitches, SetsOnlyTheVisibleFlagFromTheVerdict)
{
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange)};
    AddFillRows(records, 150, 30, 4);
    records.push_back(Record(records.back().position.x + 600, records.back().position.y, CAbsStitch::Normal, 3));
    AddFillRows(records, 150, 30, 4);
    CSimpleDesign design = MakeDesign(records);

    std::vector<uint8_t> verdict{9};
    SA::HideIrrelevantLongStitches(static_cast<IDesign const&>(design), verdict);
    ASSERT_EQ(verdict.size(), records.size() + 1);

    SA::HideIrrelevantLongStitches(design);
    std::vector<CAbsStitch> const out = Records(design);
    ASSERT_EQ(out.size(), records.size());
    for (std::size_t k = 0; k < out.size(); ++k) {
        CAbsStitch expected = records[k];
        expected.visible = verdict[k] != 0;
        if (k > 0) {   // MakeDesign numbered the colour change itself
            EXPECT_EQ(out[k], expected) << k;
        }
    }
    EXPECT_FALSE(out[1 + 4 * 5].visible);
}

TEST(AddTrimCommands, AllVisibleDesignComesOutUnchanged)
{
    std::vector<CAbsStitch> records{Record(0, 0, CAbsStitch::ColourChange)};
    AddFillRows(records, 150, 30, 5);
    records.push_back(Record(records.back().position.x, records.back().position.y, CAbsStitch::ColourChange));
    AddFillRows(records, 90, 30, 5);
    CSimpleDesign design = MakeDesign(records);
    CSimpleDesign const before = design;

    SA::AddTrimCommands(design);
    EXPECT_EQ(Records(design), Records(before));
    EXPECT_EQ(Colours(design), Colours(before));
}

TEST(AddTrimCommands, HiddenRunAfterColourChangeGetsNoTrim)
{
    std::vector<CAbsStitch> const records{
        Record(0, 0, CAbsStitch::ColourChange), Record(30, 0), Record(60, 0),
        Record(60, 0, CAbsStitch::ColourChange, 1), Record(700, 0, CAbsStitch::Jump, 1),
        Record(1400, 0, CAbsStitch::Jump, 1), Record(1400, 0, CAbsStitch::ColourChange, 2),
        Record(1430, 0, CAbsStitch::Normal, 2)};
    CSimpleDesign design = MakeDesign(records);
    SA::AddTrimCommands(design);

    std::vector<CAbsStitch> expected = records;
    expected[4].visible = expected[5].visible = false;
    EXPECT_EQ(Records(design), expected);
    EXPECT_EQ(design.GetColourCount(), 3u);
}

TEST(AddTrimCommands, TrimGoesAtTheLastVisibleStitchBeforeAHiddenRun)
{
    std::vector<CAbsStitch> const records{
        Record(0, 0, CAbsStitch::ColourChange), Record(0, 10, CAbsStitch::Normal, 0),
        Record(10, 20, CAbsStitch::Normal, 0), Record(700, 20, CAbsStitch::Jump, 0),
        Record(1400, 20, CAbsStitch::Jump, 0), Record(1400, 30, CAbsStitch::Normal, 0),
        Record(1400, 40, CAbsStitch::Normal, 0)};
    CSimpleDesign design = MakeDesign(records);
    design.SetDesignNotes(L"Keep me\r\nSettings:\r\nHoop=1");
    SA::AddTrimCommands(design);

    std::vector<CAbsStitch> const expected{
        records[0], records[1], records[2], Record(10, 20, CAbsStitch::Trim, 0),
        Hidden(records[3]), Hidden(records[4]), Hidden(records[5]), records[6]};
    EXPECT_EQ(Records(design), expected);
    EXPECT_EQ(design.GetDesignNotes(), L"Keep me\r\nSettings:\r\nHoop=1");
}

TEST(AddTrimCommands, NoSecondTrimAfterAnExistingTrimOrStop)
{
    for (uint8_t const command : {uint8_t{CAbsStitch::Trim}, uint8_t{CAbsStitch::Stop}}) {
        std::vector<CAbsStitch> const records{
            Record(0, 0, CAbsStitch::ColourChange), Record(30, 0), Record(60, 0), Record(60, 0, command),
            Record(700, 0, CAbsStitch::Jump), Record(1400, 0, CAbsStitch::Jump), Record(1400, 10)};
        CSimpleDesign design = MakeDesign(records);
        SA::AddTrimCommands(design);
        std::vector<CAbsStitch> const out = Records(design);
        ASSERT_EQ(out.size(), records.size()) << int(command);
        EXPECT_FALSE(out[4].visible);
        EXPECT_FALSE(out[5].visible);
    }
}

TEST(AddTrimCommands, EmptyDesignStaysEmpty)
{
    CSimpleDesign design;
    design.SetDesignNotes(L"n");
    SA::AddTrimCommands(design);
    EXPECT_EQ(design.GetStitchCount(), 0u);
    EXPECT_EQ(design.GetDesignNotes(), L"n");
}
