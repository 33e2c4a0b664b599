#include "Fundamentals/SimpleDesign.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Brodix;
using Brodix::CommonTypes::PointI;

namespace {

ColourData Thread(char const* manufacturer, char const* code, uint32_t rgb)
{
    ColourData c = ColourData::Default();
    c.colours[0] = rgb;
    ColourDataEx::Copy(c.manufacturerName, manufacturer);
    ColourDataEx::Copy(c.serialNumber, code);
    return c;
}

CAbsStitch Stitch(int x, int y, uint8_t type = CAbsStitch::Normal, int colour = 0)
{
    CAbsStitch s;
    s.position = {x, y};
    s.type = type;
    s.colourIndex = colour;
    return s;
}

std::vector<CAbsStitch> Records(IDesign const& design)
{
    std::vector<CAbsStitch> out;
    auto reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        out.push_back(reader->GetCurrentItem());
    return out;
}

} // namespace

TEST(ColourData, DefaultRecordAndCopyTruncatesAndZeroFills)
{
    ColourData c = ColourData::Default();
    EXPECT_EQ(c.numberColours, 1u);
    EXPECT_EQ(c.materialType, 8u);
    EXPECT_EQ(c.threadWeight, 5u);
    EXPECT_EQ(c.lengths[0], 1u);
    EXPECT_EQ(c.lengths[1], 0u);

    std::memset(c.serialNumber, 'x', sizeof c.serialNumber);
    ColourDataEx::Copy(c.serialNumber, "123456789012345678");
    EXPECT_STREQ(c.serialNumber, "1234567890123");
    ColourDataEx::Copy(c.serialNumber, "ab");
    EXPECT_STREQ(c.serialNumber, "ab");
    for (std::size_t i = 2; i < sizeof c.serialNumber; ++i)
        EXPECT_EQ(c.serialNumber[i], '\0');
}

TEST(SimpleDesign, EmptyDesignRectangleIsInverted)
{
    CSimpleDesign design;
    EXPECT_EQ(design.GetDesignRectangle(), (CommonTypes::RectI{536870911, 536870911, -1073741824, -1073741824}));
    design.AddStitch(Stitch(-5, 7));
    design.AddStitch(Stitch(10, -2, CAbsStitch::Jump));
    EXPECT_EQ(design.GetDesignRectangle(), (CommonTypes::RectI{-5, -2, 10, 7}));
}

TEST(SimpleDesign, ColourStitchesKeepTheColourInvariant)
{
    CSimpleDesign design;
    design.AddColourStitch(Thread("A", "1", 1), {0, 0}, false);
    design.AddColourStitch(Thread("A", "2", 2), {1, 1}, false);
    design.AddColourStitch(Thread("A", "3", 3), {2, 2}, true);
    auto const records = Records(design);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].colourIndex, 2);
    EXPECT_EQ(records[2].type, CAbsStitch::ColourChange);
    EXPECT_TRUE(records[2].colourChangeFlag);
    EXPECT_TRUE(records[2].visible);

    design.PopLastStitch();
    EXPECT_EQ(design.GetStitchCount(), 2u);
    EXPECT_EQ(design.GetColourCount(), 2u);
    design.AddStitch(Stitch(5, 5, CAbsStitch::Normal, 1));
    design.PopLastStitch();
    EXPECT_EQ(design.GetColourCount(), 2u);
}

TEST(SimpleDesign, MisuseThrowsTheDocumentedExceptions)
{
    CSimpleDesign design;
    try {
        design.PopLastStitch();
        FAIL() << "expected out_of_range";
    } catch (std::out_of_range const& e) {
        EXPECT_STREQ(e.what(), "Cannot pop - stitches = {}");
    }
    EXPECT_THROW(design.GetColour(0), CSimpleDesign::BadAccess);
    design.SetColour(3, Thread("A", "1", 1));   // ignored
    EXPECT_EQ(design.GetColourCount(), 0u);

    design.AddStitch(Stitch(1, 1));
    CSimpleDesign const& constant = design;
    auto readOnly = HoldIterator(constant.GetStitchReader());
    EXPECT_THROW(readOnly->SetCurrentItem(Stitch(0, 0)), IteratorOutOfBounds);
    auto writable = HoldIterator(design.GetStitchReader());
    writable->Next();
    EXPECT_TRUE(writable->IsDone());
    writable->Next();   // stays at the end
    EXPECT_TRUE(writable->IsDone());
    EXPECT_THROW(writable->GetCurrentItem(), IteratorOutOfBounds);
    EXPECT_THROW(writable->SetCurrentItem(Stitch(0, 0)), IteratorOutOfBounds);
}

TEST(SimpleDesign, ReverseReadersWalkFromTheLastRecord)
{
    CSimpleDesign design;
    for (int i = 0; i < 3; ++i)
        design.AddStitch(Stitch(i, 0));
    auto reverse = HoldIterator(design.GetReverseStitchReader());
    std::vector<int> xs;
    for (reverse->First(); !reverse->IsDone(); reverse->Next())
        xs.push_back(reverse->GetCurrentItem().position.x);
    EXPECT_EQ(xs, (std::vector<int>{2, 1, 0}));
    reverse->First();
    reverse->SetCurrentItem(Stitch(9, 9));
    EXPECT_EQ(Records(design).back().position, (PointI{9, 9}));
}

TEST(SimpleDesign, CopyCloneAndOffset)
{
    CSimpleDesign source;
    source.SetDesignNotes(L"notes");
    source.AddColourStitch(Thread("A", "1", 1), {0, 0}, true);
    source.AddStitch(Stitch(3, 4));
    source.AddColourStitch(Thread("A", "2", 2), {3, 4}, false);

    CSimpleDesign target;
    target.SetDesignNotes(L"old");
    target.AddStitch(Stitch(100, 100));
    CSimpleDesign::Copy(source, target, false);
    EXPECT_EQ(target.GetDesignNotes(), L"");
    EXPECT_EQ(Records(target), Records(source));
    EXPECT_EQ(target.GetColour(1), source.GetColour(1));

    CSimpleDesign::Copy(source, source, true);   // copying onto itself loses nothing
    EXPECT_EQ(Records(source), Records(target));
    EXPECT_EQ(source.GetDesignNotes(), L"notes");

    std::unique_ptr<IDesign> clone(source.Clone());
    CSimpleDesign::Offset(*clone, 10, -1);
    auto const moved = Records(*clone);
    EXPECT_EQ(moved[1].position, (PointI{13, 3}));
    EXPECT_EQ(moved[2].position, (PointI{13, 3}));
    EXPECT_EQ(Records(source)[1].position, (PointI{3, 4}));
}

TEST(SimpleDesign, MergeIntoEmptyTargetKeepsTheMergedNotes)
{
    CSimpleDesign source;
    source.SetDesignNotes(L"B");
    source.AddColourStitch(Thread("A", "1", 1), {0, 0}, false);
    source.AddStitch(Stitch(1, 1));
    CSimpleDesign target;
    target.SetDesignNotes(L"A");
    CSimpleDesign::MergeDesign(target, source, true, false);
    EXPECT_EQ(target.GetDesignNotes(), L"A\nBSettings:");
    EXPECT_EQ(Records(target), Records(source));
}

struct JoinCase {
    int dx;
    int dy;
    std::vector<uint8_t> appendedTypes;
    bool lastVisible;
};

class MergeJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(MergeJoin, SameThreadJoinsWithATrimOnlyBeyondFourUnits)
{
    JoinCase const& c = GetParam();
    ColourData const madeira = Thread("Madeira Rayon 40", "1000", 0x123456);
    CSimpleDesign target;
    target.AddColourStitch(madeira, {0, 0}, false);
    target.AddStitch(Stitch(10, 10));
    CSimpleDesign source;
    source.AddColourStitch(madeira, {10 + c.dx, 10 + c.dy}, false);
    source.AddStitch(Stitch(50, 50));

    CSimpleDesign::MergeDesign(target, source, false, true);
    auto const records = Records(target);
    std::vector<uint8_t> types;
    for (std::size_t i = 2; i < records.size(); ++i)
        types.push_back(records[i].type);
    EXPECT_EQ(types, c.appendedTypes);
    EXPECT_EQ(target.GetColourCount(), 1u);
    EXPECT_EQ(records[records.size() - 2].visible, c.lastVisible);
    EXPECT_EQ(records[records.size() - 2].position, (PointI{10 + c.dx, 10 + c.dy}));
    EXPECT_EQ(records.back().colourIndex, 0);
}

// The distance is the straight line between the two points. Off the axes,
// integer steps come closest to the boundary at sqrt(13) = 3.61 below it and
// sqrt(17) = 4.12, sqrt(18) = 4.24 above it, which tell the straight line
// from the larger step alone (4, 4, 3) and from the sum of the steps (5, 5, 6).
std::vector<uint8_t> const kJoined = {CAbsStitch::Normal, CAbsStitch::Normal};
std::vector<uint8_t> const kTrimmed = {CAbsStitch::Trim, CAbsStitch::Normal, CAbsStitch::Normal};

INSTANTIATE_TEST_SUITE_P(Distances, MergeJoin,
                         ::testing::Values(JoinCase{4, 0, kJoined, true}, JoinCase{5, 0, kTrimmed, false},
                                           JoinCase{0, 4, kJoined, true}, JoinCase{0, -4, kJoined, true},
                                           JoinCase{-4, 0, kJoined, true}, JoinCase{2, 3, kJoined, true},
                                           JoinCase{-3, -2, kJoined, true}, JoinCase{1, 4, kTrimmed, false},
                                           JoinCase{-4, 1, kTrimmed, false}, JoinCase{3, 3, kTrimmed, false},
                                           JoinCase{-3, 3, kTrimmed, false}),
                         [](auto const& info) {
                             auto const name = [](int v) { return (v < 0 ? "m" : "") + std::to_string(std::abs(v)); };
                             return "dx" + name(info.param.dx) + "_dy" + name(info.param.dy);
                         });

TEST(SimpleDesign, MergeOfDifferentThreadAddsAColourChange)
{
    CSimpleDesign target;
    target.AddColourStitch(Thread("Madeira Rayon 40", "1000", 1), {0, 0}, false);
    target.AddStitch(Stitch(1, 1));
    target.AddColourStitch(Thread("Madeira Rayon 40", "1001", 2), {1, 1}, false);   // trailing, dropped
    CSimpleDesign source;
    source.AddColourStitch(Thread("Sulky", "7", 7), {5, 5}, false);
    source.AddStitch(Stitch(6, 6));
    source.AddColourStitch(Thread("Sulky", "8", 8), {6, 6}, false);
    source.AddStitch(Stitch(7, 7));

    CSimpleDesign::MergeDesign(target, source, false, true);
    auto const r = Records(target);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[2].type, CAbsStitch::ColourChange);
    EXPECT_EQ(r[2].colourIndex, 1);
    EXPECT_EQ(r[3].colourIndex, 1);
    EXPECT_EQ(r[4].colourIndex, 2);
    EXPECT_EQ(r[5].colourIndex, 2);
    ASSERT_EQ(target.GetColourCount(), 3u);
    EXPECT_STREQ(target.GetColour(1).serialNumber, "7");
    EXPECT_STREQ(target.GetColour(2).serialNumber, "8");
}

TEST(SimpleDesign, MergeOfSourceWithoutLeadingColourContinuesInLastColour)
{
    CSimpleDesign target;
    target.AddColourStitch(Thread("A", "1", 1), {0, 0}, false);
    target.AddStitch(Stitch(1, 1));
    CSimpleDesign source;
    source.AddStitch(Stitch(2, 2, CAbsStitch::Normal, 7));
    CSimpleDesign::MergeDesign(target, source, false, false);
    auto const r = Records(target);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].type, CAbsStitch::Normal);
    EXPECT_EQ(r[2].colourIndex, 0);
    EXPECT_EQ(target.GetColourCount(), 1u);

    CSimpleDesign::MergeDesign(target, target, false, false);   // self-merge doubles the design
    EXPECT_EQ(target.GetStitchCount(), 6u);
}

namespace {

std::shared_ptr<IDesign> SmallDesign(wchar_t const* notes, ColourData const& thread, int x)
{
    auto design = std::make_shared<CSimpleDesign>();
    design->SetDesignNotes(notes);
    design->AddColourStitch(thread, {x, 0}, false);
    design->AddStitch(Stitch(x + 1, 1));
    return design;
}

} // namespace

TEST(SimpleDesign, MergeDesignsGivesWhatMergingOneAtATimeGives)
{
    ColourData const a = Thread("A", "1", 1);
    ColourData const b = Thread("B", "2", 2);
    auto const colourOnly = std::make_shared<CSimpleDesign>();
    colourOnly->AddColourStitch(b, {9, 9}, false);
    std::vector<std::shared_ptr<IDesign>> const sources = {
        SmallDesign(L"one", a, 0),           nullptr,
        SmallDesign(L"", b, 10),             colourOnly,
        SmallDesign(L"Settings:s", a, 5),    std::make_shared<CSimpleDesign>(),
        SmallDesign(L"twoSettings:t", a, 7),
    };
    for (bool const join : {false, true}) {
        for (bool const notes : {false, true}) {
            SCOPED_TRACE(std::to_string(join) + std::to_string(notes));
            CSimpleDesign expected;
            expected.SetDesignNotes(L"target");
            for (auto const& source : sources)
                if (source != nullptr)
                    CSimpleDesign::MergeDesign(expected, *source, notes, join);
            auto const merged = std::make_shared<CSimpleDesign>();
            merged->SetDesignNotes(L"target");
            CSimpleDesign::MergeDesigns(*merged, sources, notes, join);
            EXPECT_EQ(Records(*merged), Records(expected));
            EXPECT_EQ(merged->GetDesignNotes(), expected.GetDesignNotes());
            EXPECT_EQ(merged->GetColourCount(), expected.GetColourCount());

            // The target listed among its sources merges with what it holds by then.
            CSimpleDesign::MergeDesign(expected, expected, notes, join);
            CSimpleDesign::MergeDesigns(*merged, {merged}, notes, join);
            EXPECT_EQ(Records(*merged), Records(expected));
            EXPECT_EQ(merged->GetDesignNotes(), expected.GetDesignNotes());
        }
    }
}

// Merging the notes one design at a time rescanned the whole text so far: a
// hundred thousand designs with short notes took minutes, and longer notes
// hours. Joined once, they take well under a second, and the test's timeout
// catches a return of the quadratic merge.
TEST(SimpleDesign, MergeDesignsIsLinearInTheNotes)
{
    constexpr int kDesigns = 100'000;
    std::wstring const note(32, L'n');
    ColourData const thread = Thread("A", "1", 1);
    std::vector<std::shared_ptr<IDesign>> sources;
    sources.reserve(kDesigns);
    for (int i = 0; i < kDesigns; ++i)
        sources.push_back(SmallDesign(note.c_str(), thread, i % 100));
    CSimpleDesign merged;
    CSimpleDesign::MergeDesigns(merged, sources, true, false);

    std::wstring expected = note;
    for (int i = 1; i < kDesigns; ++i)
        expected += L"\n" + note;
    EXPECT_EQ(merged.GetDesignNotes(), expected + L"Settings:");
    EXPECT_EQ(merged.GetStitchCount(), 2ul * kDesigns);
    EXPECT_EQ(merged.GetColourCount(), static_cast<unsigned long>(kDesigns));
}

namespace {

// Designs whose colour changes a copy renumbers: a change added as a plain
// record naming another colour, a table longer than the changes, one shorter.
std::vector<std::shared_ptr<CSimpleDesign>> DesignsACopyRenumbers()
{
    ColourData const a = Thread("A", "1", 1);
    ColourData const b = Thread("B", "2", 2);
    std::vector<std::shared_ptr<CSimpleDesign>> designs;

    auto inOrder = std::make_shared<CSimpleDesign>();
    inOrder->SetDesignNotes(L"in order");
    inOrder->AddColourStitch(a, {0, 0}, true);
    inOrder->AddStitch(Stitch(3, 4));
    inOrder->AddColourStitch(b, {3, 4}, false);
    inOrder->AddStitch(Stitch(5, 6, CAbsStitch::Trim, 1));
    designs.push_back(inOrder);

    auto renamed = std::make_shared<CSimpleDesign>(*inOrder);
    CAbsStitch change = Stitch(7, 7, CAbsStitch::ColourChange, 0);
    change.visible = false;
    renamed->AddStitch(change);   // a third change, naming the first colour
    renamed->AddStitch(Stitch(8, 8, CAbsStitch::Normal, 0));
    designs.push_back(renamed);

    auto longTable = std::make_shared<CSimpleDesign>(*inOrder);
    auto const walk = HoldIterator(longTable->GetStitchReader());
    walk->First();
    walk->Next();
    walk->Next();
    walk->SetCurrentItem(Stitch(3, 4));   // the second change made a stitch: its colour stays in the table
    designs.push_back(longTable);

    designs.push_back(std::make_shared<CSimpleDesign>());
    return designs;
}

} // namespace

// MergeIntoNew takes a sole design over instead of copying it; it must give
// exactly what merging it into a new design gives.
TEST(SimpleDesign, MergeIntoNewGivesWhatMergeDesignsGives)
{
    for (bool const notes : {false, true}) {
        auto const originals = DesignsACopyRenumbers();
        auto copies = DesignsACopyRenumbers();
        for (std::size_t i = 0; i < originals.size(); ++i) {
            SCOPED_TRACE("design " + std::to_string(i) + (notes ? " with notes" : ""));
            CSimpleDesign expected;
            CSimpleDesign::MergeDesigns(expected, {originals[i]}, notes, false);

            IDesign const* const sole = copies[i].get();
            std::vector<std::shared_ptr<IDesign>> list;
            list.push_back(std::move(copies[i]));
            std::shared_ptr<IDesign> const merged = CSimpleDesign::MergeIntoNew(std::move(list), notes, false);
            EXPECT_EQ(merged.get(), sole) << "taken over";
            EXPECT_EQ(Records(*merged), Records(expected));
            EXPECT_EQ(merged->GetDesignNotes(), expected.GetDesignNotes());
            ASSERT_EQ(merged->GetColourCount(), expected.GetColourCount());
            for (unsigned long c = 0; c < expected.GetColourCount(); ++c)
                EXPECT_EQ(merged->GetColour(c), expected.GetColour(c));
        }
    }
}

TEST(SimpleDesign, MergeIntoNewTakesOverOnlyADesignNothingElseHolds)
{
    auto const held = DesignsACopyRenumbers()[1];
    std::vector<CAbsStitch> const before = Records(*held);
    std::shared_ptr<IDesign> const merged = CSimpleDesign::MergeIntoNew({held}, true, false);
    EXPECT_NE(merged.get(), held.get());
    EXPECT_EQ(Records(*held), before) << "a design someone else holds is left alone";

    CSimpleDesign expected;
    CSimpleDesign::MergeDesigns(expected, {held}, true, false);
    EXPECT_EQ(Records(*merged), Records(expected));
    EXPECT_EQ(merged->GetDesignNotes(), expected.GetDesignNotes());
}
