// Reading VP3 images in the tests: the records of a design as (x, y, type)
// triples that a test can state by hand, and the two read entry points the
// service and the tools use.
#pragma once
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"

#include <memory>
#include <ostream>
#include <vector>

namespace Vp3Test {

struct Point {
    int x, y;
    uint8_t type;
    friend bool operator==(Point const&, Point const&) = default;
};

inline std::ostream& operator<<(std::ostream& out, Point const& p)
{
    return out << "(" << p.x << ", " << p.y << ", type " << int(p.type) << ")";
}

inline constexpr uint8_t N = Brodix::CAbsStitch::Normal;
inline constexpr uint8_t C = Brodix::CAbsStitch::ColourChange;
inline constexpr uint8_t S = Brodix::CAbsStitch::Stop;
inline constexpr uint8_t T = Brodix::CAbsStitch::Trim;

// The records of LetteringText, worked out by hand. The text sits at (3, 2)
// in design units (y down); each character's block starts on its character
// and stitches 5 right, then 3 down, in the character's own frame.
inline std::vector<Point> const kLetteringPoints = {
    // (1000, 0) as it stands: 10 units right of the text's centre.
    {13, 2, C}, {18, 2, N}, {18, 5, N},
    // (2000, 0): 20 units right.
    {23, 2, C}, {28, 2, N}, {28, 5, N},
    // (1000, 0) mirrored in x: 10 units left, stitching leftwards.
    {-7, 2, C}, {-12, 2, N}, {-12, 5, N},
    // (1000, 0) turned a quarter: 10 units up; right becomes up, down becomes right.
    {3, -8, C}, {3, -13, N}, {6, -13, N},
};

// The records of PlainDesign at centre 0.
inline std::vector<Point> const kPlainDesignPoints = {{2, 3, C}, {3, 4, N}};

inline std::vector<Point> Points(IDesign const& design)
{
    std::vector<Point> points;
    auto const reader = Brodix::HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        Brodix::CAbsStitch const record = reader->GetCurrentItem();
        points.push_back({record.position.x, record.position.y, record.type});
    }
    return points;
}

inline unsigned int ReadOne(Bytes const& bytes, Brodix::CSimpleDesign& design, bool cleanup = true,
                            Brodix::CommonTypes::PointI offset = {0, 0})
{
    Brodix::Vp3Lib::CVP3ReadWrite vp3;
    return vp3.ReadFromMemory(Brodix::Vp3Lib::CDesignHolder(&design), bytes.data(), bytes.size(), offset, cleanup);
}

inline unsigned int ReadMany(Bytes const& bytes, std::vector<std::shared_ptr<IDesign>>& designs)
{
    Brodix::Vp3Lib::CVP3ReadWrite vp3;
    return vp3.ReadFromMemory(Brodix::Vp3Lib::CDesignHolder(&designs), bytes.data(), bytes.size(), {0, 0}, true);
}

} // namespace Vp3Test
