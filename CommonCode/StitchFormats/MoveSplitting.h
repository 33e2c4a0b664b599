// The arithmetic shared by the splitters that turn one long move into records
// of bounded steps: how many whole steps, their size, and the rest they leave.
// What the records look like stays with each splitter.
#pragma once
#include <algorithm>
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

// The largest step one record holds.
constexpr long long kMaxRecordStep = 127;

// Rounding of the unit step adds up over a long move, so a rest can be too
// large for one record. Such a rest is carried by records of at most
// kMaxRecordStep units first: emit(x, y) writes one and returns false when
// nothing more can be written. The rest keeps what is left; true once it fits.
template <typename Emit>
bool CarryLargeRest(long long& restX, long long& restY, Emit&& emit)
{
    auto fits = [](long long v) { return v >= -kMaxRecordStep && v <= kMaxRecordStep; };
    while (!fits(restX) || !fits(restY)) {
        int const x = static_cast<int>(std::clamp(restX, -kMaxRecordStep, kMaxRecordStep));
        int const y = static_cast<int>(std::clamp(restY, -kMaxRecordStep, kMaxRecordStep));
        if (!emit(x, y))
            return false;
        restX -= x;
        restY -= y;
    }
    return true;
}

// Steps of at most step units from (x1, y1) towards (x2, y2), each rounded to
// whole units. The move must not be empty and step must be positive.
MoveSteps SplitMove(int x1, int y1, int x2, int y2, double step);

} // namespace Brodix::StitchFormats
