// The Janome stitch stream shared by the JEF and SEW readers: 2-byte units,
// with 0x80 escapes for colour change, jump and end of design.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/CommonTypes.h"
#include <cstdint>
#include <span>

class CStitches;

// Sums the jumps that open the stitch data at the stream position and leaves
// the stream on the first unit that is not a jump.
void GetLengthFirstSewJump(Brodix::IArchiverStream& stream, int& x, int& y);

// Fills the container from the stitch data at dataStart. The leading jumps
// become one move from (0, 0) to their sum plus firstMoveOffset; colour k
// takes codes[k], and the last code once the codes run out. codes must not be
// empty. Returns 0, or 5 when dataStart lies past the end of the stream or the
// design is beyond the container's limits.
[[nodiscard]] int ReadJanomeStitchData(CStitches& stitches, Brodix::IArchiverStream& stream, unsigned long dataStart,
                                       Brodix::CommonTypes::PointI firstMoveOffset, std::span<int16_t const> codes);
