// A design as the VP3 writer reads it: its records where they are, the
// positions the nudge moves laid over them, and the colour each colour block
// takes. Writing a nudged design so costs no copy of its records.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/ColourData.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include <array>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace Brodix::Vp3Lib {

// The records the nudge moves off (0, 0): the first record and the colour
// change of the first block holding stitch code, each only when it lies on
// (0, 0), and the rectangle of the design once they are moved.
struct CNudgePlan {
    std::size_t count = 0;
    std::array<std::size_t, 2> indices{};
    CommonTypes::PointI to;
    CommonTypes::RectI rect;
};
CNudgePlan PlanNudge(std::span<CAbsStitch const> records);

// The records of a design: in place when it is a CSimpleDesign, else
// copied as they are into holder.
std::span<CAbsStitch const> RecordsOf(IDesign const& design, std::vector<CAbsStitch>& holder);

class CWriteSource {
public:
    static constexpr std::size_t kAllBlocks = std::numeric_limits<std::size_t>::max();

    // Nudged, the design is written as its copy with the nudge applied: the
    // n-th colour change takes the n-th colour of the table, and there are as
    // many blocks as colour changes. Otherwise a colour change takes the colour
    // its record names, and the design has as many blocks as colours.
    CWriteSource(IDesign const& design, std::span<CAbsStitch const> records, bool nudge);

    std::span<CAbsStitch const> Records() const { return m_records; }
    // A record's position once nudged; the nudge moves only the first record
    // and colour changes, so only those need asking.
    CommonTypes::PointI Position(std::size_t index) const;
    CommonTypes::RectI const& Rectangle() const { return m_rect; }
    std::size_t BlockCount() const { return m_blockCount; }
    ColourData BlockColour(std::size_t block, CAbsStitch const& change) const;
    std::wstring Notes() const { return m_design.GetDesignNotes(); }

private:
    IDesign const& m_design;
    std::span<CAbsStitch const> m_records;
    CNudgePlan m_nudge;
    CommonTypes::RectI m_rect;
    std::size_t m_blockCount;
    bool m_coloursInOrder;
};

} // namespace Brodix::Vp3Lib
