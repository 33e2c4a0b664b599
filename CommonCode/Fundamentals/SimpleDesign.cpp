#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/DesignNotes.h"
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace Brodix {

namespace {

// An empty design's rectangle has left greater than right, so any union with
// a real point replaces it.
constexpr int32_t kEmptyLow = 0x1FFFFFFF;
constexpr int32_t kEmptyHigh = static_cast<int32_t>(0xC0000000);

// Beyond this distance a joined colour gets a trim before the jump to the
// source's start.
constexpr double kJoinTrimDistance = 4.0;

using ForwardIterator = CSimpleDesign::Iterator<CAbsStitch, std::vector<CAbsStitch>::iterator>;
using ConstForwardIterator = CSimpleDesign::Iterator<CAbsStitch const, std::vector<CAbsStitch>::const_iterator>;
using ReverseIterator = CSimpleDesign::Iterator<CAbsStitch, std::vector<CAbsStitch>::reverse_iterator>;
using ConstReverseIterator =
    CSimpleDesign::Iterator<CAbsStitch const, std::vector<CAbsStitch>::const_reverse_iterator>;

bool SameThread(ColourData const& a, ColourData const& b)
{
    return std::strncmp(a.manufacturerName, b.manufacturerName, sizeof a.manufacturerName) == 0
        && std::strncmp(a.serialNumber, b.serialNumber, sizeof a.serialNumber) == 0;
}

} // namespace

// Nothing is reserved up front: a file of many small designs costs what they
// hold, and loaders that know their count reserve it (ReserveStitches).
CSimpleDesign::CSimpleDesign() = default;

void CSimpleDesign::ClearOtherData() { m_notes.clear(); }

void CSimpleDesign::ClearStitchesAndColours()
{
    m_stitches.clear();
    m_colours.clear();
}

CommonTypes::RectI CSimpleDesign::EmptyBounds() { return {kEmptyLow, kEmptyLow, kEmptyHigh, kEmptyHigh}; }

CommonTypes::RectI CSimpleDesign::Bounds(std::span<CAbsStitch const> records, CommonTypes::RectI rect)
{
    for (CAbsStitch const& s : records) {
        rect.left = std::min(rect.left, s.position.x);
        rect.top = std::min(rect.top, s.position.y);
        rect.right = std::max(rect.right, s.position.x);
        rect.bottom = std::max(rect.bottom, s.position.y);
    }
    return rect;
}

CommonTypes::RectI CSimpleDesign::GetDesignRectangle() const { return Bounds(m_stitches); }

void CSimpleDesign::RenumberColourChanges()
{
    ColourNumbering numbering;
    for (CAbsStitch& record : m_stitches)
        numbering(record);
    numbering.Finish(m_colours);
}

void CSimpleDesign::PopLastStitch()
{
    if (m_stitches.empty())
        throw std::out_of_range("Cannot pop - stitches = {}");
    if (m_stitches.back().type == CAbsStitch::ColourChange && !m_colours.empty())
        m_colours.pop_back();
    m_stitches.pop_back();
}

unsigned long CSimpleDesign::GetStitchCount() const { return m_stitches.size(); }
unsigned long CSimpleDesign::GetColourCount() const { return m_colours.size(); }

ColourData CSimpleDesign::GetColour(unsigned long index) const
{
    if (index >= m_colours.size())
        throw BadAccess();
    return m_colours[index];
}

void CSimpleDesign::SetColour(unsigned long index, ColourData const& colour)
{
    if (index < m_colours.size())
        m_colours[index] = colour;
}

std::wstring CSimpleDesign::GetDesignNotes() const { return m_notes; }
void CSimpleDesign::SetDesignNotes(std::wstring const& notes) { m_notes = notes; }

IIterator<CAbsStitch>* CSimpleDesign::GetStitchReader()
{
    return new ForwardIterator(m_stitches.begin(), m_stitches.end());
}

IIterator<CAbsStitch const>* CSimpleDesign::GetStitchReader() const
{
    return new ConstForwardIterator(m_stitches.cbegin(), m_stitches.cend());
}

IIterator<CAbsStitch>* CSimpleDesign::GetReverseStitchReader()
{
    return new ReverseIterator(m_stitches.rbegin(), m_stitches.rend());
}

IIterator<CAbsStitch const>* CSimpleDesign::GetReverseStitchReader() const
{
    return new ConstReverseIterator(m_stitches.crbegin(), m_stitches.crend());
}

IDesign* CSimpleDesign::Clone() const { return new CSimpleDesign(*this); }

void CSimpleDesign::Copy(IDesign const& source, IDesign& target, bool copyNotes)
{
    if (&source == &target) {
        if (!copyNotes)
            target.ClearOtherData();
        return;
    }
    target.ClearOtherData();
    target.ClearStitchesAndColours();
    if (copyNotes)
        target.SetDesignNotes(source.GetDesignNotes());
    // Between common designs the records are copied whole and numbered again.
    auto const* from = dynamic_cast<CSimpleDesign const*>(&source);
    auto* to = dynamic_cast<CSimpleDesign*>(&target);
    if (from != nullptr && to != nullptr) {
        to->m_stitches = from->m_stitches;
        to->m_colours = from->m_colours;
        to->RenumberColourChanges();
        return;
    }
    auto reader = HoldIterator(source.GetStitchReader());
    if (!reader)
        return;
    std::vector<ColourData> colours;
    colours.reserve(source.GetColourCount());
    GrabColours(source, std::back_inserter(colours));
    if (auto* simple = dynamic_cast<CSimpleDesign*>(&target))
        simple->ReserveStitches(source.GetStitchCount());
    AssignStitchesAndColours(target, *reader, colours.begin(), colours.end());
}

void CSimpleDesign::Offset(IDesign& design, int dx, int dy)
{
    if (auto* simple = dynamic_cast<CSimpleDesign*>(&design)) {
        for (CAbsStitch& s : simple->m_stitches) {
            s.position.x += dx;
            s.position.y += dy;
        }
        return;
    }
    auto reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch s = reader->GetCurrentItem();
        s.position.x += dx;
        s.position.y += dy;
        reader->SetCurrentItem(s);
    }
}

namespace {

// Copies source into an empty target but keeps the target's own notes.
void CopyKeepingNotes(IDesign const& source, IDesign& target)
{
    std::wstring const notes = target.GetDesignNotes();
    CSimpleDesign::Copy(source, target, false);
    target.SetDesignNotes(notes);
}

CAbsStitch LastStitch(IDesign const& design)
{
    auto reader = HoldIterator(design.GetReverseStitchReader());
    return reader->GetCurrentItem();
}

} // namespace

void CSimpleDesign::MergeDesign(IDesign& target, IDesign const& source, bool mergeNotes, bool joinSameColour)
{
    if (&source == &target) {
        // The walk below appends to the target; a design merged with itself
        // is merged from a snapshot so the walk never sees its own output.
        std::unique_ptr<IDesign> const snapshot(source.Clone());
        MergeDesign(target, *snapshot, mergeNotes, joinSameColour);
        return;
    }
    if (mergeNotes)
        target.SetDesignNotes(MakeMergedNotes(target.GetDesignNotes(), source.GetDesignNotes(), true));
    if (source.GetStitchCount() == 0)
        return;
    if (target.GetStitchCount() == 0) {
        CopyKeepingNotes(source, target);
        return;
    }

    auto walk = HoldIterator(source.GetStitchReader());
    ColourData startColour = ColourData::Default();
    CommonTypes::PointI startPoint;
    unsigned long leading = 0;
    for (walk->First(); !walk->IsDone(); walk->Next()) {
        CAbsStitch const s = walk->GetCurrentItem();
        if (s.type != CAbsStitch::ColourChange)
            break;
        if (leading < source.GetColourCount())
            startColour = source.GetColour(leading);
        startPoint = s.position;
        ++leading;
    }

    if (leading > 0) {
        while (target.GetStitchCount() > 0 && LastStitch(target).type == CAbsStitch::ColourChange)
            target.PopLastStitch();
        if (target.GetStitchCount() == 0) {
            CopyKeepingNotes(source, target);
            return;
        }
        if (!walk->IsDone()) {
            CAbsStitch const last = LastStitch(target);
            ColourData const lastColour =
                last.colourIndex >= 0 && static_cast<unsigned long>(last.colourIndex) < target.GetColourCount()
                    ? target.GetColour(static_cast<unsigned long>(last.colourIndex))
                    : ColourData::Default();
            if (joinSameColour && SameThread(lastColour, startColour)) {
                double const distance = std::hypot(double(startPoint.x) - last.position.x,
                                                   double(startPoint.y) - last.position.y);
                bool hidden = false;
                if (distance > kJoinTrimDistance) {
                    CAbsStitch trim = last;
                    trim.type = CAbsStitch::Trim;
                    target.AddStitch(trim);
                    hidden = true;
                }
                CAbsStitch move = last;
                move.type = CAbsStitch::Normal;
                move.position = startPoint;
                if (hidden)
                    move.visible = false;
                target.AddStitch(move);
            } else {
                target.AddColourStitch(startColour, startPoint, false);
            }
        }
    }

    long colour = static_cast<long>(target.GetColourCount()) - 1;
    unsigned long sourceColour = leading;
    for (; !walk->IsDone(); walk->Next()) {
        CAbsStitch s = walk->GetCurrentItem();
        if (s.type == CAbsStitch::ColourChange) {
            ColourData const next =
                sourceColour < source.GetColourCount() ? source.GetColour(sourceColour) : ColourData::Default();
            target.AddColourStitch(next, s.position, false);
            ++sourceColour;
            ++colour;
        } else {
            s.colourIndex = static_cast<int32_t>(colour);
            target.AddStitch(s);
        }
    }
}

void CSimpleDesign::MergeDesigns(IDesign& target, std::vector<std::shared_ptr<IDesign>> const& sources,
                                 bool mergeNotes, bool joinSameColour)
{
    CMergedNotes notes;
    if (mergeNotes) {
        // Held aside while merging, so that no step copies the notes so far.
        notes.Add(target.GetDesignNotes());
        target.SetDesignNotes({});
    }
    for (auto const& source : sources) {
        if (source == nullptr)
            continue;
        if (source.get() == &target) {
            // As in MergeDesign: from a snapshot, adding the notes merged so far.
            std::unique_ptr<IDesign> const snapshot(target.Clone());
            MergeDesign(target, *snapshot, false, joinSameColour);
            if (mergeNotes)
                notes.Add(notes.Text());
            continue;
        }
        MergeDesign(target, *source, false, joinSameColour);
        if (mergeNotes)
            notes.Add(source->GetDesignNotes());
    }
    if (mergeNotes)
        target.SetDesignNotes(notes.Text());
}

std::shared_ptr<IDesign> CSimpleDesign::MergeIntoNew(std::vector<std::shared_ptr<IDesign>> sources, bool mergeNotes,
                                                     bool joinSameColour)
{
    if (sources.size() == 1 && sources.front().use_count() == 1) {
        if (auto sole = std::dynamic_pointer_cast<CSimpleDesign>(sources.front())) {
            // As MergeDesigns: the new design's empty notes, then the sole one's.
            CMergedNotes notes;
            notes.Add({});
            notes.Add(sole->m_notes);
            sole->m_notes = mergeNotes ? notes.Text() : std::wstring();
            sole->RenumberColourChanges();
            return sole;
        }
    }
    auto merged = std::make_shared<CSimpleDesign>();
    MergeDesigns(*merged, sources, mergeNotes, joinSameColour);
    return merged;
}

} // namespace Brodix
