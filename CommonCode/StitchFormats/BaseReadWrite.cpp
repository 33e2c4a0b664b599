// Holding, placing and handing out the designs of an object-style reader.
#include "StitchFormats/BaseReadWrite.h"
#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/SimpleDesign.h"
#include <algorithm>
#include <limits>

using Brodix::CAbsStitch;
using Brodix::ColourData;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::RectI;

namespace {

bool IsValid(RectI const& r)
{
    return r.right > r.left && r.bottom > r.top;
}

void Widen(RectI& r, RectI const& by)
{
    r.left = std::min(r.left, by.left);
    r.top = std::min(r.top, by.top);
    r.right = std::max(r.right, by.right);
    r.bottom = std::max(r.bottom, by.bottom);
}

std::shared_ptr<IDesign> CopyOf(IDesign const& source)
{
    auto copy = std::make_shared<CSimpleDesign>();
    CSimpleDesign::Copy(source, *copy, true);
    return copy;
}

int Moved(int value, int step)
{
    long long const moved = static_cast<long long>(value) + step;
    return static_cast<int>(std::clamp<long long>(moved, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

CBaseReadWrite::CBaseReadWrite(DesignList const& designs)
{
    for (auto const& design : designs)
        if (design)
            m_designs.push_back(CopyOf(*design));
    CalculateRelativeStitches();
}

CBaseReadWrite::CBaseReadWrite(std::shared_ptr<IDesign> const& design)
{
    if (design)
        m_designs.push_back(CopyOf(*design));
    CalculateRelativeStitches();
}

CBaseReadWrite::CBaseReadWrite(IDesign const& design)
{
    m_designs.push_back(CopyOf(design));
    CalculateRelativeStitches();
}

void CBaseReadWrite::CalculateRelativeStitches()
{
    for (auto const& design : m_designs)
        m_relativeSets.push_back(std::make_shared<CRelativeStitches>(*design, true));
    CalculateRelativeRect();
}

void CBaseReadWrite::CalculateRelativeRect()
{
    if (IsValid(m_relativeRect))
        return;
    for (auto const& set : m_relativeSets)
        Widen(m_relativeRect, set->GetRect());
}

namespace {

// One record into design content; colourOf gives the thread of a colour index.
// The common design is final, so its appends are written in here.
template <typename ColourOf>
void AddRecordToDesign(CSimpleDesign& design, CStitch const& record, CAbsStitch& current, bool addJumps,
                       ColourOf&& colourOf)
{
    if (design.GetStitchCount() == 0)
        design.AddColourStitch(colourOf(current.colourIndex), current.position, false);

    switch (record.flags) {
    case STITCH_NORMAL:
    case STITCH_JUMP:
        current.position.x = Moved(current.position.x, record.dx);
        current.position.y = Moved(current.position.y, -record.dy);
        if (record.flags == STITCH_JUMP && !addJumps)
            break;
        current.type = record.flags == STITCH_NORMAL ? CAbsStitch::Normal : CAbsStitch::Jump;
        design.AddStitch(current);
        break;
    case STITCH_STOP:
        current.type = CAbsStitch::Stop;
        design.AddStitch(current);
        break;
    case STITCH_COLOUR:
        ++current.colourIndex;
        design.AddColourStitch(colourOf(current.colourIndex), current.position, false);
        break;
    case STITCH_TRIM:
        current.type = CAbsStitch::Trim;
        design.AddStitch(current);
        break;
    default:
        break;
    }
}

} // namespace

void CBaseReadWrite::AddStitchToDesign(CSimpleDesign& design, CStitch const& record, std::span<int const> colours,
                                       CAbsStitch& current, bool addJumps)
{
    AddRecordToDesign(design, record, current, addJumps, [&](int index) {
        ColourData colour;
        unsigned const rgb = index >= 0 && static_cast<std::size_t>(index) < colours.size()
                                 ? static_cast<unsigned>(colours[static_cast<std::size_t>(index)])
                                 : 0;
        CStitches::GetNearestColourData(colour, rgb, m_colourType);
        return colour;
    });
}

void CBaseReadWrite::AddStitchToDesign(CSimpleDesign& design, CStitch const& record,
                                       std::span<ColourData const> threads,
                                       CAbsStitch& current, bool addJumps)
{
    AddRecordToDesign(design, record, current, addJumps, [&](int index) {
        return index >= 0 && static_cast<std::size_t>(index) < threads.size()
                   ? threads[static_cast<std::size_t>(index)]
                   : ColourData::Default();
    });
}

void CBaseReadWrite::AddOutputDesign(IDesign const& design)
{
    m_designs.push_back(CopyOf(design));
}

// A design built by AddStitchToDesign is what a copy of it would be: its
// colour changes were added as such, so they are numbered in order.
void CBaseReadWrite::AddOutputDesign(CSimpleDesign&& design)
{
    m_designs.push_back(std::make_shared<CSimpleDesign>(std::move(design)));
}

void CBaseReadWrite::OffsetDesigns(int dx, int dy)
{
    for (auto const& design : m_designs)
        CSimpleDesign::Offset(*design, dx, dy);
}

void CBaseReadWrite::CenterDesigns()
{
    if (m_designs.empty())
        return;
    RectI const r = GetDesignRectangle();
    long long const cx = (static_cast<long long>(r.left) + r.right) / 2;
    long long const cy = (static_cast<long long>(r.top) + r.bottom) / 2;
    OffsetDesigns(static_cast<int>(-cx), static_cast<int>(-cy));
}

void CBaseReadWrite::GetDesign(IDesign& out) const
{
    CSimpleDesign::MergeDesigns(out, m_designs, true, false);
}

void CBaseReadWrite::TakeDesign(IDesign& out)
{
    auto* target = dynamic_cast<CSimpleDesign*>(&out);
    auto* source = m_designs.size() == 1 ? dynamic_cast<CSimpleDesign*>(m_designs.front().get()) : nullptr;
    if (target == nullptr || source == nullptr || target->GetStitchCount() != 0 || target->GetColourCount() != 0
        || source->GetStitchCount() == 0) {
        GetDesign(out);
        return;
    }
    // What merging into an empty design gives: the records numbered as a copy
    // numbers them, and the notes merged.
    Brodix::CMergedNotes notes;
    notes.Add(target->GetDesignNotes());
    notes.Add(source->GetDesignNotes());
    target->Stitches() = std::move(source->Stitches());
    target->Colours() = std::move(source->Colours());
    CSimpleDesign::ColourNumbering numbering;
    for (CAbsStitch& s : target->Stitches())
        numbering(s);
    numbering.Finish(target->Colours());
    target->SetDesignNotes(notes.Text());
    m_designs.clear();
}

void CBaseReadWrite::GetDesigns(DesignList& out) const
{
    for (auto const& design : m_designs)
        out.push_back(CopyOf(*design));
}

RectI CBaseReadWrite::GetDesignRectangle() const
{
    if (m_designs.empty())
        return RectI{};
    RectI combined = m_designs.front()->GetDesignRectangle();
    for (std::size_t i = 1; i < m_designs.size(); ++i) {
        RectI const r = m_designs[i]->GetDesignRectangle();
        if (IsValid(combined))
            Widen(combined, r);
        else
            combined = r;
    }
    return combined;
}

int CBaseReadWrite::GetDesignWidth() const
{
    RectI const r = GetDesignRectangle();
    return r.right - r.left;
}

int CBaseReadWrite::GetDesignHeight() const
{
    RectI const r = GetDesignRectangle();
    return r.bottom - r.top;
}

int CBaseReadWrite::GetColorCount() const
{
    int count = 0;
    for (auto const& set : m_relativeSets)
        count += set->GetColorCount();
    return count;
}

int CBaseReadWrite::GetStitchCount() const
{
    int count = 0;
    for (auto const& set : m_relativeSets)
        count += set->GetCount();
    return count;
}

unsigned CBaseReadWrite::GetColorRGB(int index) const
{
    for (auto const& set : m_relativeSets) {
        if (index >= 0 && index < set->GetColorCount())
            return set->GetColorRGB(index);
        index -= set->GetColorCount();
    }
    return 0;
}

unsigned CBaseReadWrite::GetStitch(int index) const
{
    for (auto const& set : m_relativeSets) {
        if (index >= 0 && index < set->GetCount())
            return set->GetStitch(index);
        index -= set->GetCount();
    }
    return 0;
}
