#include "StitchFormats/StitchFormats.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::PointI;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;
namespace SF = Brodix::StitchFormats;

// 512 header bytes, a stitch of (+1, 0), a colour change, a stitch of (+3, 0) and the end.
std::vector<unsigned char> TwoColourDst()
{
    std::vector<unsigned char> file(512, ' ');
    unsigned char const records[] = {0x01, 0x00, 0x03, 0x01, 0x00, 0x03, 0x00, 0x00, 0xC3,
                                     0x00, 0x01, 0x03, 0x00, 0x00, 0xF3};
    file.insert(file.end(), std::begin(records), std::end(records));
    return file;
}

TEST(Load, UnknownFormatLeavesTheDesignAlone)
{
    MemoryStream stream(TwoColourDst());
    CSimpleDesign design;
    design.AddColourStitch(Brodix::ColourData::Default(), PointI{1, 1}, false);
    EXPECT_EQ(SF::Load(design, stream, 0, static_cast<SF::Format>(14), nullptr, nullptr, nullptr, nullptr), 4);
    EXPECT_EQ(design.GetStitchCount(), 1u);

    std::vector<std::shared_ptr<IDesign>> designs;
    EXPECT_EQ(SF::Load(designs, stream, 0, static_cast<SF::Format>(14), nullptr, nullptr, nullptr, nullptr), 4);
    EXPECT_TRUE(designs.empty());
}

TEST(Load, BothOverloadsGiveTheSameDesign)
{
    MemoryStream first(TwoColourDst());
    CSimpleDesign single;
    ASSERT_EQ(SF::Load(single, first, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);

    MemoryStream second(TwoColourDst());
    std::vector<std::shared_ptr<IDesign>> designs;
    ASSERT_EQ(SF::Load(designs, second, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(designs.size(), 1u);

    for (IDesign const* design : {static_cast<IDesign const*>(&single), static_cast<IDesign const*>(designs[0].get())}) {
        ASSERT_EQ(design->GetStitchCount(), 3u);
        ASSERT_EQ(design->GetColourCount(), 2u);
        auto reader = Brodix::HoldIterator(design->GetStitchReader());
        std::vector<CAbsStitch> got;
        for (reader->First(); !reader->IsDone(); reader->Next())
            got.push_back(reader->GetCurrentItem());
        EXPECT_EQ(got[0].type, CAbsStitch::ColourChange);
        EXPECT_EQ(got[0].position, (PointI{1, 0}));
        EXPECT_EQ(got[1].position, (PointI{2, 0}));
        EXPECT_EQ(got[2].type, CAbsStitch::ColourChange);
        EXPECT_EQ(got[2].position, (PointI{5, 0}));
    }
}

TEST(Load, LoadingAppendsBehindWhatTheDesignHolds)
{
    MemoryStream stream(TwoColourDst());
    CSimpleDesign design;
    design.AddColourStitch(Brodix::ColourData::Default(), PointI{-7, -7}, false);
    design.AddStitch(CAbsStitch{PointI{-6, -7}, 0, CAbsStitch::Normal, false, true});
    ASSERT_EQ(SF::Load(design, stream, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(design.GetColourCount(), 3u);
    auto reader = Brodix::HoldIterator(static_cast<IDesign const&>(design).GetStitchReader());
    int lastColour = -1;
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const s = reader->GetCurrentItem();
        if (s.type != CAbsStitch::ColourChange) {
            EXPECT_EQ(s.colourIndex, lastColour);
        }
        lastColour = s.colourIndex;
    }
}

} // namespace
