// Dropping colour blocks without a normal stitch (only jumps, trims or stops,
// or nothing at all), together with their colours.
#include "StitchFormats/Vp3/Sanitize.h"

#include <algorithm>

namespace Brodix::StitchAlgorithms {

bool Sanitize(std::shared_ptr<IDesign>& design)
{
    if (design == nullptr)
        return false;
    std::vector<CAbsStitch> records;
    std::vector<ColourData> colours;
    records.reserve(design->GetStitchCount());
    std::size_t blockStart = 0;
    bool inBlock = false;
    bool blockHasStitch = false;
    bool erased = false;
    unsigned long coloursMet = 0;

    auto dropEmptyBlock = [&] {
        if (inBlock && !blockHasStitch) {
            records.resize(blockStart);
            colours.pop_back();
            erased = true;
        }
    };

    auto const reader = HoldIterator(static_cast<IDesign const&>(*design).GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch record = reader->GetCurrentItem();
        if (record.type == CAbsStitch::ColourChange) {
            dropEmptyBlock();
            colours.push_back(coloursMet < design->GetColourCount() ? design->GetColour(coloursMet)
                                                                    : ColourData::Default());
            ++coloursMet;
            blockStart = records.size();
            inBlock = true;
            blockHasStitch = false;
        } else if (record.type == CAbsStitch::Normal) {
            blockHasStitch = true;
        }
        record.colourIndex = static_cast<int32_t>(colours.size()) - 1;
        records.push_back(record);
    }
    dropEmptyBlock();

    if (records.empty()) {
        design.reset();
        return true;
    }
    if (!erased)
        return false;
    design->ClearStitchesAndColours();
    for (CAbsStitch const& record : records) {
        if (record.type == CAbsStitch::ColourChange)
            design->AddColourStitch(colours[static_cast<std::size_t>(record.colourIndex)], record.position,
                                    record.colourChangeFlag);
        else
            design->AddStitch(record);
    }
    return true;
}

bool Sanitize(std::vector<std::shared_ptr<IDesign>>& designs)
{
    bool changed = false;
    for (auto& design : designs)
        changed = Sanitize(design) || changed;
    if (changed)
        designs.erase(std::remove(designs.begin(), designs.end(), nullptr), designs.end());
    return changed;
}

} // namespace Brodix::StitchAlgorithms
