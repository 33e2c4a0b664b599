#include "StitchFormats/StitchFormats.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StitchFormatsTesting.h"
#include "ZLibTesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
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

// The one walk that converts and applies the new colour rules must give
// what the two steps give, one after the other.
void ExpectOneWalkAsTwoSteps(CStitches& stitches, std::string const& what)
{
    for (bool storedTypes : {false, true}) {
        CSimpleDesign walked;
        ASSERT_TRUE(stitches.ConvertToAbsoluteUnderNewColourRules(walked, storedTypes));
        CSimpleDesign stepped;
        stitches.ConvertToAbsolute(stepped, PointI{0, 0}, storedTypes, false);
        SF::ConvertStitchesForColourRules(stepped, SF::NewColourRules);
        EXPECT_EQ(StitchFormatsTesting::StitchesOf(walked), StitchFormatsTesting::StitchesOf(stepped)) << what;
        EXPECT_EQ(walked.Colours(), stepped.Colours()) << what;
    }
}

TEST(Load, OneWalkGivesTheDesignOfTheTwoStepsForEverySample)
{
    SF::Format const formats[] = {SF::FormatDST, SF::FormatEXP, SF::FormatXXX, SF::Format10o, SF::FormatJEF,
                                  SF::FormatSEW, SF::FormatPCS, SF::FormatPEC, SF::FormatSHV, SF::FormatART,
                                  SF::FormatTVK, SF::FormatVIP};
    char const* const folders[] = {"dst", "exp", "xxx", "10o", "jef", "sew", "pcs", "pec", "shv", "art", "tvk", "vip"};
    StitchFormatsTesting::ZLibInflater zlib;
    auto const codec = SF::MakeTvkVipCodec();
    int loaded = 0;
    for (std::size_t f = 0; f < std::size(formats); ++f) {
        for (auto const& path : StitchFormatsTesting::CorpusFiles(folders[f])) {
            std::vector<uint8_t> const bytes = StitchFormatsTesting::ReadFile(path);
            MemoryStream stream(bytes.data(), bytes.size());
            CStitches stitches(0);
            if (stitches.Load(stream, formats[f], nullptr, codec.get(), &zlib, nullptr) != 0)
                continue;
            ++loaded;
            ExpectOneWalkAsTwoSteps(stitches, path.string());
        }
    }
    EXPECT_GT(loaded, 0);
}

// Short random records of every kind, many colour changes, trims and stops
// among them, reach the corners the samples may not.
TEST(Load, OneWalkGivesTheDesignOfTheTwoStepsForRandomRecords)
{
    uint8_t const kinds[] = {STITCH_NORMAL, STITCH_JUMP, STITCH_STOP, STITCH_COLOUR, STITCH_TRIM, STITCH_END};
    std::mt19937 random(16);
    for (int round = 0; round < 3000; ++round) {
        int const count = static_cast<int>(random() % 14);
        CStitches stitches(0);
        ASSERT_EQ(stitches.AllocStorage(count), 0);
        int colours = 1;
        std::string what;
        for (int i = 0; i < count; ++i) {
            uint8_t const kind = kinds[random() % std::size(kinds)];
            auto step = [&] { return static_cast<int8_t>(static_cast<int>(random() % 5) - 2); };
            ASSERT_EQ(stitches.PutStitch(i, CStitch{kind, step(), step()}), 0);
            colours += kind == STITCH_COLOUR ? 1 : 0;
            what += std::to_string(kind) + ' ';
        }
        // Sometimes a colour short, so that the default thread stands in.
        stitches.SetNumberColours(colours - static_cast<int>(random() % 2));
        for (int c = 0; c < stitches.GetNumberColours(); ++c)
            stitches.SetColour(c, static_cast<unsigned>(random()));
        ExpectOneWalkAsTwoSteps(stitches, what);
    }
}

TEST(Load, OneWalkLeavesADesignThatHoldsRecordsAlone)
{
    CStitches stitches(0);
    ASSERT_EQ(stitches.AllocStorage(1), 0);
    CSimpleDesign design;
    design.AddColourStitch(Brodix::ColourData::Default(), PointI{1, 1}, false);
    EXPECT_FALSE(stitches.ConvertToAbsoluteUnderNewColourRules(design, false));
    EXPECT_EQ(design.GetStitchCount(), 1u);
}

} // namespace
