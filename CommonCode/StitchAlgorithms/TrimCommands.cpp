#include "StitchAlgorithms/TrimCommands.h"
#include "StitchAlgorithms/JumpStitchRemover.h"
#include <memory>

namespace Brodix::StitchAlgorithms {

namespace {

bool EndsThreadAlready(uint8_t type)
{
    return type == CAbsStitch::ColourChange || type == CAbsStitch::Stop || type == CAbsStitch::Trim;
}

} // namespace

void HideIrrelevantLongStitches(IDesign const& design, std::vector<uint8_t>& verdict)
{
    verdict.reserve(design.GetStitchCount());
    verdict.clear();
    CJumpStitchRemover::RemoveJumps(design, verdict);
}

void HideIrrelevantLongStitches(IDesign& design)
{
    std::vector<uint8_t> verdict;
    HideIrrelevantLongStitches(static_cast<IDesign const&>(design), verdict);
    auto reader = HoldIterator(design.GetStitchReader());
    if (!reader)
        return;
    std::size_t k = 0;
    for (reader->First(); !reader->IsDone() && k < verdict.size(); reader->Next(), ++k) {
        CAbsStitch record = reader->GetCurrentItem();
        record.visible = verdict[k] != 0;
        reader->SetCurrentItem(record);
    }
}

void AddTrimCommands(IDesign& design)
{
    std::unique_ptr<IDesign> const clone(design.Clone());
    design.ClearStitchesAndColours();
    HideIrrelevantLongStitches(*clone);

    auto reader = HoldIterator(static_cast<IDesign const&>(*clone).GetStitchReader());
    if (!reader)
        return;
    unsigned long const colourCount = clone->GetColourCount();
    unsigned long colour = 0;
    CAbsStitch previous;   // all zero and visible: a stitch at the origin
    bool first = true;
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const record = reader->GetCurrentItem();
        if (record.type == CAbsStitch::ColourChange) {
            // A colour change without a colour of its own gets the default thread.
            ColourData const thread = colour < colourCount ? clone->GetColour(colour) : ColourData::Default();
            design.AddColourStitch(thread, record.position, false);
            ++colour;
        } else {
            if (!first && !record.visible && previous.visible && !EndsThreadAlready(previous.type)) {
                CAbsStitch trim = previous;
                trim.type = CAbsStitch::Trim;
                design.AddStitch(trim);
            }
            design.AddStitch(record);
        }
        previous = record;
        first = false;
    }
}

} // namespace Brodix::StitchAlgorithms
