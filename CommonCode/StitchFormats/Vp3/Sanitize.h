// Removes colour blocks that hold no normal stitch, before several designs
// are written into one VP3 file.
#pragma once
#include "Fundamentals/Design.h"
#include <memory>
#include <vector>

namespace Brodix::StitchAlgorithms {

// True when the design changed; a design left with no records is reset.
bool Sanitize(std::shared_ptr<IDesign>& design);
// True when any design changed; reset designs are taken out of the vector.
bool Sanitize(std::vector<std::shared_ptr<IDesign>>& designs);

} // namespace Brodix::StitchAlgorithms
