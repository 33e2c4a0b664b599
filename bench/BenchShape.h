// The one shape of design every load benchmark reads, whatever its format:
// rows of short stitches back and forth inside a box of 800 units, several
// colours, and every 997 records a trim and a long jump across the box in
// steps no format's record is too small for. As moves, for the benchmarks
// that build a format's bytes themselves, and as a design, for those that
// write it through the front door.
#pragma once
#include "Fundamentals/SimpleDesign.h"
#include <cstdint>
#include <vector>

namespace BenchShape {

// Steps in design units, y growing downwards.
struct Move {
    enum Kind : uint8_t { Stitch, Jump, Trim, ColourChange };
    Kind kind;
    int dx;
    int dy;
};

constexpr int kColourEvery = 50'000;   // 20 colours in 1,000,000 records
constexpr int kJumpEvery = 997;
constexpr int kMaxStep = 100;          // the longest step of any move

// Exactly records moves (a long jump cut short at the end).
std::vector<Move> MakeMoves(int records);

// The moves as an absolute design: a colour change (a colour of its own) to
// start, then a record for every move.
Brodix::CSimpleDesign MakeDesign(std::vector<Move> const& moves);

// The thread colour of colour k (0x00BBGGRR), distinct for every k.
uint32_t ColourOf(int k);

} // namespace BenchShape
