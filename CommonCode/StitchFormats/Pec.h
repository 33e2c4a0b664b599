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

// The byte count before the signature: 16 bits, or 0 then 24 bits.
unsigned long GetByteCount(Brodix::IArchiverStream& stream);

// Decodes a short or long step starting with first, reading the second byte of
// a long step; false, reading nothing, when first is 0x90 or above.
bool GetNextStitch(Brodix::IArchiverStream& stream, unsigned char first, int* value, unsigned long* counter);

// For a jump (0x9n) or trim (0xAn) first byte reads the second byte and stores
// the 12-bit value; returns 1 for a jump, 3 for a trim, 0 (reading nothing) otherwise.
int GetFeed(Brodix::IArchiverStream& stream, char first, int* value);

int GetSignedTwelve(unsigned char* bytes);
int GetSignedSeven(unsigned char* byte);
