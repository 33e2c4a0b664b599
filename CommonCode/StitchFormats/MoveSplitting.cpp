// Splitting a long move into whole steps of bounded length.
#include "StitchFormats/MoveSplitting.h"
#include <cmath>

namespace Brodix::StitchFormats {
namespace {

int RoundHalfAwayFromZero(double v)
{
    return v > 0 ? static_cast<int>(std::trunc(v + 0.5)) : -static_cast<int>(std::trunc(0.5 - v));
}

} // namespace

MoveSteps SplitMove(int x1, int y1, int x2, int y2, double step)
{
    double const dx = static_cast<double>(x2) - x1;
    double const dy = static_cast<double>(y2) - y1;
    double const length = std::hypot(dx, dy);
    MoveSteps split;
    split.count = static_cast<long long>(length / step);
    split.stepX = RoundHalfAwayFromZero(dx * step / length);
    split.stepY = RoundHalfAwayFromZero(dy * step / length);
    split.restX = x2 - (x1 + split.count * split.stepX);
    split.restY = y2 - (y1 + split.count * split.stepY);
    return split;
}

} // namespace Brodix::StitchFormats
