// Brother card data: the stitch section shared by PEC files and the blocks of
// a PES file. The decoder turns its 7-bit and 12-bit steps, jumps, trims and
// colour changes into relative records of a CStitchBuildingArray.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <utility>

class CStitchBuildingArray;

// Decodes one stitch section from the current position. Returns the status
// (0, 4 no step in a standalone file or too many records, 5 bad signature or
// code byte) and the number of records in array. standalone is true for a PEC
// file: a move before the first stitch is dropped and an end record appended.
// colourBlock is not read.
[[nodiscard]] std::pair<int, int> ReadCardData(Brodix::IArchiverStream& stream, CStitchBuildingArray* array,
                                               bool rotated, char* colourBlock, bool standalone);

int GetSignedTwelve(unsigned char* bytes);
int GetSignedSeven(unsigned char* byte);
