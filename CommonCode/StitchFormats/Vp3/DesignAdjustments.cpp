// The small design edits around VP3 reading and writing: the nudge off the
// reference point applied to a copy, its clean-up after reading, and the
// shift by the caller's offset.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "StitchFormats/Vp3/WriteSource.h"

#include <optional>

namespace Brodix::Vp3Lib {

// The first block read back must not start on (0, 0) either: behind empty
// blocks it would make reading take the file for a nudged one and turn the
// record after each colour change into a stitch.
void Nudge00SubDesignForWrite(IDesign const& source, IDesign& target)
{
    if (source.GetStitchCount() == 0)
        return;
    CSimpleDesign::Copy(source, target, true);
    std::vector<CAbsStitch> held;
    CNudgePlan const plan = PlanNudge(RecordsOf(target, held));
    std::size_t moved = 0;
    auto const reader = HoldIterator(target.GetStitchReader());
    reader->First();
    for (std::size_t index = 0; !reader->IsDone() && moved < plan.count; reader->Next(), ++index) {
        if (index != plan.indices[0] && index != plan.indices[plan.count - 1])
            continue;
        CAbsStitch record = reader->GetCurrentItem();
        record.position = plan.to;
        reader->SetCurrentItem(record);
        ++moved;
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
