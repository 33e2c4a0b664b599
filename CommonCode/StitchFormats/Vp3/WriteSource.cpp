// Where the nudge moves records, and how the writer sees a design through it.
#include "StitchFormats/Vp3/WriteSource.h"

#include "Fundamentals/SimpleDesign.h"

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
std::optional<std::size_t> FirstColourChangeWithCode(std::span<CAbsStitch const> records)
{
    if (records.empty() || records.front().type != CAbsStitch::ColourChange)
        return std::nullopt;
    std::size_t change = 0;
    for (std::size_t index = 0; index < records.size(); ++index) {
        uint8_t const type = records[index].type;
        if (type == CAbsStitch::ColourChange)
            change = index;
        else if (type != CAbsStitch::Jump)
            return change;
    }
    return std::nullopt;
}

CommonTypes::RectI Widen(CommonTypes::RectI rect, CommonTypes::PointI point)
{
    CAbsStitch record;
    record.position = point;
    return CSimpleDesign::Bounds(std::span(&record, 1), rect);
}

} // namespace

// The rectangle is taken once over the records the nudge cannot move, then
// widened by the candidates, before and after their move.
CNudgePlan PlanNudge(std::span<CAbsStitch const> records)
{
    CNudgePlan plan;
    if (records.empty()) {
        plan.rect = CSimpleDesign::EmptyBounds();
        return plan;
    }
    std::array<std::size_t, 2> candidates{0, 0};
    std::size_t candidateCount = 1;
    if (std::optional<std::size_t> const first = FirstColourChangeWithCode(records); first && *first != 0)
        candidates[candidateCount++] = *first;

    CommonTypes::RectI rest = CSimpleDesign::EmptyBounds();
    std::size_t from = 0;
    for (std::size_t i = 0; i < candidateCount; ++i) {
        rest = CSimpleDesign::Bounds(records.subspan(from, candidates[i] - from), rest);
        from = candidates[i] + 1;
    }
    rest = CSimpleDesign::Bounds(records.subspan(from), rest);

    CommonTypes::RectI before = rest;
    for (std::size_t i = 0; i < candidateCount; ++i)
        before = Widen(before, records[candidates[i]].position);
    plan.to = NudgedPosition(before);
    plan.rect = rest;
    for (std::size_t i = 0; i < candidateCount; ++i) {
        CommonTypes::PointI const position = records[candidates[i]].position;
        bool const moved = position == CommonTypes::PointI{0, 0};
        if (moved)
            plan.indices[plan.count++] = candidates[i];
        plan.rect = Widen(plan.rect, moved ? plan.to : position);
    }
    return plan;
}

std::span<CAbsStitch const> RecordsOf(IDesign const& design, std::vector<CAbsStitch>& holder)
{
    if (auto const* simple = dynamic_cast<CSimpleDesign const*>(&design))
        return simple->Stitches();
    holder.clear();
    holder.reserve(design.GetStitchCount());
    auto const reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        holder.push_back(reader->GetCurrentItem());
    return holder;
}

CWriteSource::CWriteSource(IDesign const& design, std::span<CAbsStitch const> records, bool nudge)
    : m_design(design), m_records(records), m_coloursInOrder(nudge)
{
    if (nudge) {
        m_nudge = PlanNudge(records);
        m_rect = m_nudge.rect;
        m_blockCount = kAllBlocks;
    } else {
        m_rect = CSimpleDesign::Bounds(records);
        m_blockCount = design.GetColourCount();
    }
}

CommonTypes::PointI CWriteSource::Position(std::size_t index) const
{
    for (std::size_t i = 0; i < m_nudge.count; ++i)
        if (m_nudge.indices[i] == index)
            return m_nudge.to;
    return m_records[index].position;
}

// A colour the design does not have is the default thread.
ColourData CWriteSource::BlockColour(std::size_t block, CAbsStitch const& change) const
{
    std::size_t const index = m_coloursInOrder ? block : static_cast<std::size_t>(change.colourIndex);
    bool const known = (m_coloursInOrder || change.colourIndex >= 0) && index < m_design.GetColourCount();
    return known ? m_design.GetColour(static_cast<unsigned long>(index)) : ColourData::Default();
}

} // namespace Brodix::Vp3Lib
