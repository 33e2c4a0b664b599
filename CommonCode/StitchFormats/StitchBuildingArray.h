// A growable array of relative records for readers that cannot size their
// storage up front (Brother card data, PCS), with the splitter that turns a
// move of any length into records of bounded steps.
#pragma once
#include "StitchFormats/Stitches.h"
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

class CStitchBuildingArray {
public:
    static constexpr int kDefaultGrowth = 4000;
    // One record beyond the readers' limit, so that a reader can tell "too many".
    static constexpr int kMaxRecords = CStitches::kMaxStitchCount + 1;

    CStitchBuildingArray() = default;
    virtual ~CStitchBuildingArray() = default;
    CStitchBuildingArray(CStitchBuildingArray const&) = delete;
    CStitchBuildingArray& operator=(CStitchBuildingArray const&) = delete;
    // Takes other's records and mask and leaves it empty.
    void TakeFrom(CStitchBuildingArray& other)
    {
        m_records = std::move(other.m_records);
        m_count = std::exchange(other.m_count, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_growthStep = other.m_growthStep;
        m_maskX = other.m_maskX;
        m_maskY = other.m_maskY;
        m_overflowed = std::exchange(other.m_overflowed, false);
    }

    void SetSize(int capacity, int growBy);
    void Resize();
    // False (record dropped) once kMaxRecords are held. Inline, as the
    // decoders add most records through it.
    bool Add(CStitch const& stitch)
    {
        if (m_count < m_capacity) {
            m_records[m_count++] = stitch;
            return true;
        }
        return AddRun(stitch, 1);
    }
    // Appends the move from (x1, y1) to (x2, y2) as jumps of at most maxStep
    // units and a last record of kind lastFlags; see the .cpp for the rest rule.
    // A move with more steps than there is room for adds nothing and counts
    // as an overflow.
    // The short move that most records are is added inline.
    void AddLongStitch(int x1, int y1, int x2, int y2, double maxStep, uint8_t lastFlags, bool addIfNoMove)
    {
        long long const dx = static_cast<long long>(x2) - x1;
        long long const dy = static_cast<long long>(y2) - y1;
        if ((dx != 0 || dy != 0) && static_cast<double>(std::llabs(dx) + std::llabs(dy)) + 1.0 <= maxStep)
            Add(CStitch{lastFlags, static_cast<int8_t>(dx), static_cast<int8_t>(dy)});
        else
            AddAnyMove(x1, y1, x2, y2, maxStep, lastFlags, addIfNoMove);
    }
    // Sum of the steps of all stitch and jump records.
    void GetNeedlePosition(int* x, int* y) const;

    void SetMask(int x, int y)
    {
        m_maskX = x;
        m_maskY = y;
    }
    int GetMaskX() const { return m_maskX; }
    int GetMaskY() const { return m_maskY; }

    void ClearStitches();
    // Drops the leading jumps; their steps are lost.
    void RemoveInitialJumpStitches();

    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }
    CStitch const* GetStitches() const { return m_records.get(); }
    CStitch const& operator[](int index) const { return m_records[index]; }
    CStitch& operator[](int index) { return m_records[index]; }
    // True once a record or a move had to be dropped for want of room below kMaxRecords.
    [[nodiscard]] bool HasOverflowed() const { return m_overflowed; }

private:
    void AddAnyMove(int x1, int y1, int x2, int y2, double maxStep, uint8_t lastFlags, bool addIfNoMove);
    void Grow(long long needed);
    // Makes room for count more records; false when they would pass kMaxRecords.
    bool Reserve(long long count);
    // Appends count copies of one record; false (nothing added) without room for all.
    bool AddRun(CStitch const& stitch, long long count);

    // Room that is not filled: only records below the count are ever read, and
    // filling it would touch every page of it once more.
    struct FreeRecords {
        void operator()(CStitch* records) const { ::operator delete(records); }
    };
    using RecordStorage = std::unique_ptr<CStitch[], FreeRecords>;
    static RecordStorage AllocateRecords(int capacity);

    RecordStorage m_records;
    int m_count = 0;
    int m_capacity = 0;
    int m_growthStep = kDefaultGrowth;
    int m_maskX = 0;
    int m_maskY = 0;
    bool m_overflowed = false;
};
