#include "BenchShape.h"
#include <algorithm>
#include <cstdlib>

namespace BenchShape {

namespace {

constexpr int kHalfBox = 400;
constexpr int kStitchLength = 10;
constexpr int kRowStep = 4;

} // namespace

std::vector<Move> MakeMoves(int records)
{
    std::vector<Move> moves;
    moves.reserve(static_cast<std::size_t>(std::max(records, 0)));
    int x = 0, y = 0;
    int xDirection = 1, yDirection = 1;
    auto full = [&] { return static_cast<int>(moves.size()) >= records; };
    while (!full()) {
        int const i = static_cast<int>(moves.size());
        if (i > 0 && i % kColourEvery == 0) {
            moves.push_back({Move::ColourChange, 0, 0});
        } else if (i % kJumpEvery == kJumpEvery - 1) {
            // Across the box: to the point opposite the centre.
            moves.push_back({Move::Trim, 0, 0});
            int const toX = -x, toY = -y;
            int const steps = std::max(1, (std::max(std::abs(toX - x), std::abs(toY - y)) + kMaxStep - 1) / kMaxStep);
            for (int s = 1; s <= steps && !full(); ++s) {
                int const nextX = x + (toX - x) / (steps - s + 1);
                int const nextY = y + (toY - y) / (steps - s + 1);
                moves.push_back({Move::Jump, nextX - x, nextY - y});
                x = nextX;
                y = nextY;
            }
        } else if (std::abs(x + xDirection * kStitchLength) > kHalfBox) {
            // The end of a row: one row on, and back.
            if (std::abs(y + yDirection * kRowStep) > kHalfBox)
                yDirection = -yDirection;
            moves.push_back({Move::Stitch, 0, yDirection * kRowStep});
            y += yDirection * kRowStep;
            xDirection = -xDirection;
        } else {
            moves.push_back({Move::Stitch, xDirection * kStitchLength, 0});
            x += xDirection * kStitchLength;
        }
    }
    return moves;
}

uint32_t ColourOf(int k)
{
    return static_cast<uint32_t>(0x203040 + 0x251D17 * k) & 0xFFFFFF;
}

Brodix::CSimpleDesign MakeDesign(std::vector<Move> const& moves)
{
    using Brodix::CAbsStitch;
    using Brodix::CommonTypes::PointI;
    Brodix::CSimpleDesign design;
    design.ReserveStitches(moves.size() + 1);
    int colour = 0;
    auto thread = [](int k) {
        Brodix::ColourData c = Brodix::ColourData::Default();
        c.colours[0] = ColourOf(k);
        return c;
    };
    PointI at{0, 0};
    design.AddColourStitch(thread(colour), at, false);
    for (Move const& m : moves) {
        at = PointI{at.x + m.dx, at.y + m.dy};
        switch (m.kind) {
        case Move::ColourChange: design.AddColourStitch(thread(++colour), at, false); break;
        case Move::Stitch: design.AddStitch(CAbsStitch{at, colour, CAbsStitch::Normal, false, true}); break;
        case Move::Jump: design.AddStitch(CAbsStitch{at, colour, CAbsStitch::Jump, false, true}); break;
        case Move::Trim: design.AddStitch(CAbsStitch{at, colour, CAbsStitch::Trim, false, true}); break;
        }
    }
    return design;
}

} // namespace BenchShape
