// The arithmetic shared by the splitters that turn one long move into records
// of bounded steps: how many whole steps, their size, and the rest they leave.
// What the records look like stays with each splitter.
#pragma once
#include <cstdlib>

namespace Brodix::StitchFormats {

// A rest this small joins the last step instead of taking a record of its own.
constexpr int kMergeableRest = 5;

struct MoveSteps {
    long long count = 0;   // whole steps along the line
    int stepX = 0;
    int stepY = 0;
    long long restX = 0;   // what the steps leave of the move
    long long restY = 0;

    bool RestMergeable() const { return std::llabs(restX) <= kMergeableRest && std::llabs(restY) <= kMergeableRest; }
};

// Steps of at most step units from (x1, y1) towards (x2, y2), each rounded to
// whole units. The move must not be empty and step must be positive.
MoveSteps SplitMove(int x1, int y1, int x2, int y2, double step);

} // namespace Brodix::StitchFormats
