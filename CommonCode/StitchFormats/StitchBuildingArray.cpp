// The growable record array and its long-move splitter. Growth is bounded by
// the readers' record limit, so no input can make it grow without end.
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/MoveSplitting.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

CStitchBuildingArray::RecordStorage CStitchBuildingArray::AllocateRecords(int capacity)
{
    // Records are plain bytes, so the storage holds them as it is written.
    static_assert(std::is_trivially_copyable_v<CStitch> && std::is_trivially_destructible_v<CStitch>);
    return RecordStorage(static_cast<CStitch*>(::operator new(static_cast<std::size_t>(capacity) * sizeof(CStitch))));
}

void CStitchBuildingArray::SetSize(int capacity, int growBy)
{
    capacity = std::clamp(capacity, 0, kMaxRecords);
    m_records = AllocateRecords(capacity);
    m_capacity = capacity;
    // A growth of zero would never make room.
    m_growthStep = growBy > 0 ? growBy : kDefaultGrowth;
    m_count = 0;
}

void CStitchBuildingArray::Resize() { Grow(m_capacity + 1); }

// Grows by the growth step, or by half the capacity once that is more, so that
// filling the array stays linear in its length; a run needing more gets it at once.
void CStitchBuildingArray::Grow(long long needed)
{
    long long const growth = std::max<long long>(m_growthStep, m_capacity / 2);
    int const capacity = static_cast<int>(std::min<long long>(std::max(needed, m_capacity + growth), kMaxRecords));
    RecordStorage records = AllocateRecords(capacity);
    std::copy(m_records.get(), m_records.get() + m_count, records.get());
    m_records = std::move(records);
    m_capacity = capacity;
}

bool CStitchBuildingArray::Reserve(long long count)
{
    if (!m_records)
        SetSize(m_growthStep, m_growthStep);
    long long const needed = m_count + count;
    if (needed > kMaxRecords)
        return false;
    if (m_capacity < needed)
        Grow(needed);
    return true;
}

bool CStitchBuildingArray::AddRun(CStitch const& stitch, long long count)
{
    if (!Reserve(count)) {
        m_overflowed = true;
        return false;
    }
    // Filled by doubling copies: a run of a hundred thousand jumps takes
    // seventeen copies rather than as many stores, which counts under fuzzing.
    CStitch* const run = m_records.get() + m_count;
    if (count > 0)
        run[0] = stitch;
    for (long long done = 1; done < count; done *= 2)
        std::memcpy(run + done, run, static_cast<std::size_t>(std::min(done, count - done)) * sizeof(CStitch));
    m_count += static_cast<int>(count);
    return true;
}

void CStitchBuildingArray::AddAnyMove(int x1, int y1, int x2, int y2, double maxStep, uint8_t lastFlags,
                                         bool addIfNoMove)
{
    if (x1 == x2 && y1 == y2) {
        if (addIfNoMove)
            Add(CStitch{lastFlags, 0, 0});
        return;
    }
    if (!(maxStep >= 1.0))
        return;
    // A move at least a unit shorter than a step along both axes together is
    // shorter than a step along its line, by enough that no rounding makes it
    // one: no whole step, and the move is all rest.
    long long const dx = static_cast<long long>(x2) - x1;
    long long const dy = static_cast<long long>(y2) - y1;
    if (static_cast<double>(std::llabs(dx) + std::llabs(dy)) + 1.0 <= maxStep) {
        Add(CStitch{lastFlags, static_cast<int8_t>(dx), static_cast<int8_t>(dy)});
        return;
    }
    Brodix::StitchFormats::MoveSteps const split = Brodix::StitchFormats::SplitMove(x1, y1, x2, y2, maxStep);
    // A hostile move of millions of steps is refused before it is walked;
    // one that fits is added as a single run.
    if (!AddRun(CStitch{STITCH_JUMP, static_cast<int8_t>(split.stepX), static_cast<int8_t>(split.stepY)}, split.count))
        return;
    long long rx = split.restX;
    long long ry = split.restY;
    if (split.RestMergeable()) {
        if (split.count >= 1) {
            CStitch& last = m_records[m_count - 1];
            last.flags = lastFlags;
            last.dx = static_cast<int8_t>(last.dx + rx);
            last.dy = static_cast<int8_t>(last.dy + ry);
        } else if (rx != 0 || ry != 0) {
            Add(CStitch{lastFlags, static_cast<int8_t>(rx), static_cast<int8_t>(ry)});
        }
        return;
    }
    auto const addJump = [this](int x, int y) {
        return Add(CStitch{STITCH_JUMP, static_cast<int8_t>(x), static_cast<int8_t>(y)});
    };
    if (Brodix::StitchFormats::CarryLargeRest(rx, ry, addJump))
        Add(CStitch{lastFlags, static_cast<int8_t>(rx), static_cast<int8_t>(ry)});
}

void CStitchBuildingArray::GetNeedlePosition(int* x, int* y) const
{
    int sumX = 0, sumY = 0;
    for (int i = 0; i < m_count; ++i) {
        CStitch const& s = m_records[i];
        if (s.flags == STITCH_NORMAL || s.flags == STITCH_JUMP) {
            sumX += s.dx;
            sumY += s.dy;
        }
    }
    if (x != nullptr)
        *x = sumX;
    if (y != nullptr)
        *y = sumY;
}

void CStitchBuildingArray::ClearStitches()
{
    m_records.reset();
    m_count = 0;
    m_capacity = 0;
    m_overflowed = false;
}

void CStitchBuildingArray::RemoveInitialJumpStitches()
{
    int first = 0;
    while (first < m_count && m_records[first].flags == STITCH_JUMP)
        ++first;
    if (first == 0)
        return;
    RecordStorage records = AllocateRecords(m_capacity);
    std::copy(m_records.get() + first, m_records.get() + m_count, records.get());
    m_records = std::move(records);
    m_count -= first;
}
