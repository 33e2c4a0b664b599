// Small designs for the stitch algorithm tests, written as record lists.
#pragma once
#include "Fundamentals/SimpleDesign.h"
#include <vector>

namespace StitchAlgorithmsTesting {

using Brodix::CAbsStitch;

inline CAbsStitch Record(int x, int y, uint8_t type = CAbsStitch::Normal, int colour = 0)
{
    CAbsStitch s;
    s.position = {x, y};
    s.type = type;
    s.colourIndex = colour;
    return s;
}

// Rows of normal stitches running back and forth along x, each row `spacing`
// below the last, from the last record's position: the shape of a fill area.
inline void AddFillRows(std::vector<CAbsStitch>& records, int rowLength, int stitchLength, int rows,
                        int spacing = 4)
{
    Brodix::CommonTypes::PointI at = records.empty() ? Brodix::CommonTypes::PointI{} : records.back().position;
    int direction = 1;
    for (int r = 0; r < rows; ++r) {
        for (int x = stitchLength; x <= rowLength; x += stitchLength) {
            at.x += direction * stitchLength;
            if (x == stitchLength && r > 0)
                at.y += spacing;
            records.push_back(Record(at.x, at.y));
        }
        direction = -direction;
    }
}

// A design holding the records; each colour-change record brings a colour of its own.
inline Brodix::CSimpleDesign MakeDesign(std::vector<CAbsStitch> const& records)
{
    Brodix::CSimpleDesign design;
    for (CAbsStitch const& r : records) {
        if (r.type == CAbsStitch::ColourChange) {
            Brodix::ColourData colour = Brodix::ColourData::Default();
            colour.colours[0] = 0x10101u * static_cast<uint32_t>(design.GetColourCount() + 1);
            design.AddColourStitch(colour, r.position, false);
        } else {
            design.AddStitch(r);
        }
    }
    return design;
}

inline std::vector<CAbsStitch> Records(IDesign const& design)
{
    std::vector<CAbsStitch> out;
    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        out.push_back(reader->GetCurrentItem());
    return out;
}

} // namespace StitchAlgorithmsTesting
