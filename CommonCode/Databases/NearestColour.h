// Picks, from a table of threads (usually one thread range), the one that looks
// most like a given thread: plain threads by one colour distance, variegated
// ones by a score built from the distances of their first colours.
#pragma once
#include "Fundamentals/ColourData.h"
#include <cstdint>

extern "C" {
// 0 for equal colours, about 1 for black against white. RGB with red in the lowest byte.
double CdbCompareColours(uint32_t colour1, uint32_t colour2);
// Smaller is closer: one byte per compared colour, the first colour most significant.
uint32_t CompareVariegatedColours(uint32_t const* colours1, uint32_t count1, uint32_t const* colours2,
                                  uint32_t count2);
// The index of the closest candidate (the earlier one on a tie), or -1.
int CdbGetNearestColour(Brodix::ColourData const* target, Brodix::ColourData const* table, int count);
}
