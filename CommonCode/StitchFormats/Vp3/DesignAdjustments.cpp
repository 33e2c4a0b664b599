// The small design edits around VP3 reading and writing: the nudge off the
// reference point before writing, its clean-up after reading, and the shift
// by the caller's offset.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"

#include <optional>

namespace Brodix::Vp3Lib {
namespace {

// Where a first stitch on (0, 0) goes: one unit towards the inside of the
// design where it has room, right first.
CommonTypes::PointI NudgedPosition(CommonTypes::RectI const& rect)
{
    if (rect.right >= 1)
        return {1, 0};
    if (rect.left < 0)
        return {-1, 0};
    if (rect.bottom >= 1)
        return {0, 1};
    if (rect.top < 0)
        return {0, -1};
    return {1, 0};
}

// The index of the colour change that starts the first colour block holding
// stitch code: blocks of nothing but jumps, or of nothing at all, are written
// empty and read back as nothing. None when the design starts otherwise.
std::optional<std::size_t> FirstColourChangeWithCode(IDesign const& design)
{
    auto const reader = HoldIterator(design.GetStitchReader());
    reader->First();
    if (reader->IsDone() || reader->GetCurrentItem().type != CAbsStitch::ColourChange)
        return std::nullopt;
    std::size_t change = 0;
    for (std::size_t index = 0; !reader->IsDone(); reader->Next(), ++index) {
        uint8_t const type = reader->GetCurrentItem().type;
        if (type == CAbsStitch::ColourChange)
            change = index;
        else if (type != CAbsStitch::Jump)
            return change;
    }
    return std::nullopt;
}

} // namespace

// The first block read back must not start on (0, 0) either: behind empty
// blocks it would make reading take the file for a nudged one and turn the
// record after each colour change into a stitch.
void Nudge00SubDesignForWrite(IDesign const& source, IDesign& target)
{
    if (source.GetStitchCount() == 0)
        return;
    CSimpleDesign::Copy(source, target, true);
    CommonTypes::RectI const rect = target.GetDesignRectangle();
    std::optional<std::size_t> const firstRead = FirstColourChangeWithCode(target);
    auto const reader = HoldIterator(target.GetStitchReader());
    reader->First();
    for (std::size_t index = 0; !reader->IsDone(); reader->Next(), ++index) {
        if (index == 0 || (firstRead && index == *firstRead)) {
            CAbsStitch record = reader->GetCurrentItem();
            if (record.position == CommonTypes::PointI{0, 0}) {
                record.position = NudgedPosition(rect);
                reader->SetCurrentItem(record);
            }
        }
        if (!firstRead || index >= *firstRead)
            return;
    }
}

void OffsetDesign(IDesign& design, CommonTypes::PointI offset)
{
    if (offset == CommonTypes::PointI{0, 0})
        return;
    auto const reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch record = reader->GetCurrentItem();
        record.position.x = Wrap32(static_cast<int64_t>(record.position.x) + offset.x);
        record.position.y = Wrap32(static_cast<int64_t>(record.position.y) + offset.y);
        reader->SetCurrentItem(record);
    }
}

// The target starts empty, so what it held before is not mixed in; records
// take the target's colour numbers, which differ from the source's once an
// empty colour block has been dropped.
void Cleanup00SubDesignFromRead(IDesign const& source, IDesign& target, CommonTypes::PointI offset)
{
    if (source.GetStitchCount() == 0)
        return;
    auto const reader = HoldIterator(source.GetStitchReader());
    reader->First();
    if (!(reader->GetCurrentItem().position == offset)) {
        CSimpleDesign::Copy(source, target, true);
        return;
    }
    target.ClearStitchesAndColours();
    target.SetDesignNotes(source.GetDesignNotes());
    long sourceColour = -1;
    bool colourPending = false;
    for (; !reader->IsDone(); reader->Next()) {
        CAbsStitch record = reader->GetCurrentItem();
        if (record.type == CAbsStitch::ColourChange) {
            ++sourceColour;
            colourPending = true;
            continue;
        }
        if (colourPending) {
            bool const known = static_cast<unsigned long>(sourceColour) < source.GetColourCount();
            target.AddColourStitch(known ? source.GetColour(static_cast<unsigned long>(sourceColour))
                                         : ColourData::Default(),
                                   record.position, false);
            record.type = CAbsStitch::Normal;
            record.visible = true;
            colourPending = false;
        }
        record.colourIndex = static_cast<int32_t>(target.GetColourCount()) - 1;
        target.AddStitch(record);
    }
}

} // namespace Brodix::Vp3Lib
