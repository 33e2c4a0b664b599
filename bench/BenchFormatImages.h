// Files of the formats that have no writer, built from the shared shape's
// moves in the layout each reader expects, so every reader can be timed on
// the same design. Formats without a trim of their own pass trims over; one
// without short jumps writes each jump as its long form.
#pragma once
#include "BenchShape.h"
#include <vector>

namespace BenchFormatImages {

using Bytes = std::vector<unsigned char>;
using Moves = std::vector<BenchShape::Move>;

Bytes Xxx(Moves const& moves);
Bytes Jef(Moves const& moves);
Bytes Sew(Moves const& moves);
Bytes Pec(Moves const& moves);
Bytes Pes(Moves const& moves);
Bytes Shv(Moves const& moves);
Bytes Art(Moves const& moves);

} // namespace BenchFormatImages
