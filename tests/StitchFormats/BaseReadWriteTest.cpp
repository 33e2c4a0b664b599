#include "StitchFormats/BaseReadWrite.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormatsTesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::ColourData;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::PointI;
using Brodix::CommonTypes::RectI;
namespace SF = Brodix::StitchFormats;
using StitchFormatsTesting::StitchesOf;

// A reader that only exposes the base class; its designs come from the test.
class TestReadWrite : public CBaseReadWrite {
public:
    using CBaseReadWrite::CBaseReadWrite;
    int Save(IArchiverRetriever&, ISaveInformation*, ITvkVipCodec*) override { return 0; }
    int Load(IArchiverStream&, ICharEncoding*, ITvkVipCodec*, IZLib*, std::wstring*) override { return 0; }
};

std::shared_ptr<IDesign> Box(PointI a, PointI b)
{
    auto design = std::make_shared<CSimpleDesign>();
    design->AddColourStitch(ColourData::Default(), a, false);
    design->AddStitch(CAbsStitch{b, 0, CAbsStitch::Normal, false, true});
    return design;
}

TEST(BaseReadWrite, CenterDesignsMovesTheCommonBoxToTheOrigin)
{
    TestReadWrite one(CBaseReadWrite::DesignList{Box({-10, -4}, {30, 20})});
    one.CenterDesigns();
    EXPECT_EQ(one.GetDesignRectangle(), (RectI{-20, -12, 20, 12}));

    TestReadWrite two(CBaseReadWrite::DesignList{Box({0, 0}, {10, 10}), Box({20, -5}, {31, 5})});
    EXPECT_EQ(two.GetDesignRectangle(), (RectI{0, -5, 31, 10}));
    two.CenterDesigns();
    EXPECT_EQ(two.GetDesignRectangle(), (RectI{-15, -7, 16, 8}));

    TestReadWrite none;
    none.CenterDesigns();
    EXPECT_EQ(none.GetDesignRectangle(), RectI{});
}

TEST(BaseReadWrite, GetDesignAppendsEveryDesignInOrder)
{
    TestReadWrite rw(CBaseReadWrite::DesignList{Box({0, 0}, {10, 10}), Box({20, 20}, {30, 30})});
    CSimpleDesign out;
    rw.GetDesign(out);
    auto const stitches = StitchesOf(out);
    ASSERT_EQ(stitches.size(), 4u);
    EXPECT_EQ(stitches[2].type, CAbsStitch::ColourChange);
    EXPECT_EQ(stitches[3].position, (PointI{30, 30}));

    CBaseReadWrite::DesignList copies;
    rw.GetDesigns(copies);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_NE(copies[0], rw.Designs()[0]);   // copies, not shared records
}

TEST(BaseReadWrite, RelativeFormsAreCountedOverAllDesigns)
{
    TestReadWrite rw(CBaseReadWrite::DesignList{Box({0, 0}, {100, 0}), Box({0, 0}, {0, 10})});
    // Each design: the colour, a stitch split into 80 + 20, and the end record.
    EXPECT_EQ(rw.GetColorCount(), 2);
    EXPECT_EQ(rw.GetStitchCount(), 3 + 2);
    EXPECT_EQ(rw.GetStitch(0), unsigned(STITCH_JUMP) | 80u << 8);
    EXPECT_EQ(rw.GetStitch(3), unsigned(STITCH_NORMAL) | unsigned(uint8_t(-10)) << 16);
    EXPECT_EQ(rw.GetStitch(5), 0u);
    EXPECT_EQ(rw.GetMaxX(), 100);
    EXPECT_EQ(rw.GetMinY(), -10);
}

TEST(BaseReadWrite, AddStitchToDesignFollowsTheRecords)
{
    TestReadWrite rw;
    rw.SetColourType(0);
    int const colours[] = {static_cast<int>(GetTovenrikRGB(3)), static_cast<int>(GetTovenrikRGB(12))};
    CSimpleDesign design;
    CAbsStitch current;
    current.position = PointI{5, 5};
    for (CStitch r : {CStitch{STITCH_NORMAL, 10, 10}, CStitch{STITCH_JUMP, 1, 1}, CStitch{STITCH_STOP, 9, 9},
                      CStitch{STITCH_COLOUR, 9, 9}, CStitch{STITCH_TRIM, 0, 0}, CStitch{STITCH_END, 0, 0},
                      CStitch{STITCH_COLOUR, 0, 0}})
        rw.AddStitchToDesign(design, r, colours, current, false);

    auto const got = StitchesOf(design);
    struct {
        uint8_t type;
        PointI at;
        int colourIndex;
    } const expected[] = {{CAbsStitch::ColourChange, {5, 5}, 0}, {CAbsStitch::Normal, {15, -5}, 0},
                          {CAbsStitch::Stop, {16, -6}, 0},       {CAbsStitch::ColourChange, {16, -6}, 1},
                          {CAbsStitch::Trim, {16, -6}, 1},       {CAbsStitch::ColourChange, {16, -6}, 2}};
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].type, expected[i].type) << i;
        EXPECT_EQ(got[i].position, expected[i].at) << i;
        EXPECT_EQ(got[i].colourIndex, expected[i].colourIndex) << i;
    }
    // The third colour has no entry in the table: black.
    ColourData black;
    GetNearestColourData(black, 0, 0);
    EXPECT_EQ(design.GetColour(2), black);
}

TEST(BaseReadWrite, FactoryHasNoObjectForContainerFormats)
{
    CSimpleDesign design;
    for (int format = 0; format < SF::kFormatCount; ++format) {
        if (format == SF::FormatPES)
            continue;
        EXPECT_EQ(SF::CReadWriteFactory::CreateRWObject(static_cast<SF::Format>(format), nullptr), nullptr) << format;
        EXPECT_EQ(SF::CReadWriteFactory::CreateRWObject(static_cast<SF::Format>(format), design), nullptr) << format;
    }
}

TEST(RelativeStitches, ConversionSplitsMovesAndCountsYUpwards)
{
    auto design = std::make_shared<CSimpleDesign>();
    design->AddColourStitch(ColourData::Default(), PointI{0, 0}, false);
    design->AddStitch(CAbsStitch{PointI{0, 163}, 0, CAbsStitch::Normal, false, true});
    design->AddStitch(CAbsStitch{PointI{50, 163}, 0, CAbsStitch::Jump, false, true});
    design->AddStitch(CAbsStitch{PointI{50, 163}, 0, CAbsStitch::Trim, false, true});

    CRelativeStitches kept(*design, false);
    CRelativeStitches dropped(*design, true);
    auto show = [](CRelativeStitches const& r) {
        std::vector<unsigned> out;
        for (int i = 0; i < r.GetCount(); ++i)
            out.push_back(r.GetStitch(i));
        return out;
    };
    auto pack = [](uint8_t flags, int dx, int dy) {
        return unsigned(flags) | unsigned(uint8_t(dx)) << 8 | unsigned(uint8_t(dy)) << 16;
    };
    EXPECT_EQ(show(dropped),
              (std::vector<unsigned>{pack(STITCH_JUMP, 0, -80), pack(STITCH_NORMAL, 0, -83), pack(STITCH_TRIM, 0, 0),
                                     pack(STITCH_END, 0, 0)}));
    EXPECT_EQ(show(kept), (std::vector<unsigned>{pack(STITCH_JUMP, 0, -80), pack(STITCH_NORMAL, 0, -83),
                                                 pack(STITCH_TRIM, 0, 0), pack(STITCH_JUMP, 50, 0),
                                                 pack(STITCH_END, 0, 0)}));
    EXPECT_EQ(kept.GetRect(), (RectI{0, -163, 50, 0}));
    kept.Rotate180();
    EXPECT_EQ(kept.GetRect(), (RectI{-50, 0, 0, 163}));
    EXPECT_EQ(kept.GetColorCount(), 1);
}

} // namespace
