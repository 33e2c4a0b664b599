// Header parts of the SHV design body and of the DHV layout file (designs
// placed with a position, quarter-turn rotation, mirror and scale). Numbers in
// both formats are big-endian.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/CommonTypes.h"

namespace Shv {

int sign(int value);

// Stores the max(|dx|, |dy|) + 1 points of the pixel line from (x0, y0) to
// (x1, y1) in points, which must have room for them; count receives their
// number minus one.
void GetPixelsInLine(int x0, int y0, int x1, int y1, Brodix::CommonTypes::PointI* points, int& count);

// Packed decimal of n bytes, most significant digit pair first.
int BcdToNumber(unsigned char const* bcd, int n);
void NumberToBcd(int number, unsigned char* bcd, int n);

// Adds the body's record estimate and colour count; adds nothing for a body
// whose header does not fit in the stream.
void GetSizes(Brodix::IArchiverStream& stream, long base, int& stitches, int& colours);

// Whether the body header at base, up to its colour entries, lies inside the stream.
bool IsBodyHeaderComplete(Brodix::IArchiverStream& stream, long base);

// The number of designs of a DHV file, -1 when its address table runs past
// the end of the stream; fills addresses when it is not null.
int GetDesignAddresses(Brodix::IArchiverStream& stream, int* addresses);

void ReadDesignHeader(Brodix::IArchiverStream& stream, long address, bool& mirror, int& dirX, int& dirY, int& x,
                      int& y, double& scaleX, double& scaleY);

} // namespace Shv
