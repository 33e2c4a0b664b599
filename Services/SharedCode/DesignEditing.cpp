#include "SharedCode/DesignEditing.h"
#include "Databases/ColourDB.h"
#include "Databases/NearestColour.h"
#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/TextConversion.h"
#include "StitchAlgorithms/TrimCommands.h"
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace Brodix::DesignEditing {

void AddTrimCommands(IDesign& design)
{
    StitchAlgorithms::HideIrrelevantLongStitches(design);
    StitchAlgorithms::AddTrimCommands(design);
}

void AddExtraNote(IDesign& design, std::string const& note)
{
    std::wstring const text = CombineNotesAndSettings(makeWString(note), std::wstring());
    design.SetDesignNotes(MakeMergedNotes(design.GetDesignNotes(), text, true));
}

bool ChangeThreadRange(IDesign& design, std::string const& range, ColourDB* colorDB)
{
    if (colorDB == nullptr)
        return false;
    ColourData const* table = nullptr;
    int const count = EnumerateThreads(colorDB, range.c_str(), &table, nullptr);
    std::unique_ptr<ColourData const, void (*)(ColourData const*)> const owned(table, FreeThreads);

    std::vector<ColourData> matches;
    matches.reserve(design.GetColourCount());
    for (unsigned long i = 0; i < design.GetColourCount(); ++i) {
        ColourData const colour = design.GetColour(i);
        int const nearest = CdbGetNearestColour(&colour, table, count);
        if (nearest < 0)
            return false;
        matches.push_back(table[nearest]);
    }
    for (unsigned long i = 0; i < matches.size(); ++i)
        design.SetColour(i, matches[i]);
    return true;
}

CGSize SizeAboutCentre(IDesign const& design)
{
    // A design without records needs no room (its rectangle is the empty marker).
    if (design.GetStitchCount() == 0)
        return {};
    CommonTypes::RectI const rect = design.GetDesignRectangle();
    auto const twiceFarther = [](int32_t low, int32_t high) {
        return 2.0 * static_cast<double>(std::max(std::llabs(low), std::llabs(high)));
    };
    return {twiceFarther(rect.left, rect.right), twiceFarther(rect.top, rect.bottom)};
}

bool IsFitIntoHoopSize(IDesign const& design, CGSize hoop, bool rotate90)
{
    CGSize const size = SizeAboutCentre(design);
    if (rotate90)
        return size.height <= hoop.width && size.width <= hoop.height;
    return size.width <= hoop.width && size.height <= hoop.height;
}

} // namespace Brodix::DesignEditing
