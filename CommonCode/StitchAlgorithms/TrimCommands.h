// Marks the long connecting stitches that are not part of the embroidery as
// invisible, and puts an explicit trim in front of each hidden run so that a
// machine that understands trims cuts the thread there instead of dragging it.
#pragma once
#include "Fundamentals/Design.h"
#include <cstdint>
#include <vector>

namespace Brodix::StitchAlgorithms {

// Sets every record's visible flag from the jump stitch remover's verdict.
void HideIrrelevantLongStitches(IDesign& design);
// The verdict only: one byte per record (and one more), non-zero meaning "draw".
void HideIrrelevantLongStitches(IDesign const& design, std::vector<uint8_t>& verdict);

// Rebuilds the design with a trim record before every hidden run that follows
// a visible stitch. The notes stay.
void AddTrimCommands(IDesign& design);

} // namespace Brodix::StitchAlgorithms
