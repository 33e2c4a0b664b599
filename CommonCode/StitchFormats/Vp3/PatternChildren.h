// Reading and extracting the child blocks of the root and of sequences, which
// take the same classes: designs, sequences, and the text and embedded objects.
#pragma once
#include "StitchFormats/Vp3/PatternBase.h"
#include <functional>

namespace Brodix::Vp3Lib {

class CPatternCompositeDesign;
class CPatternCompositeSeq;

// Sequences nested deeper than this are refused as unreadable, so a hostile
// file cannot exhaust the stack.
constexpr int kMaxNestingDepth = 32;

// True for an embedded SPX object, otherwise when the object has a child.
bool HasRequiredDirectSubclassCount(CPatternBase const* object);

// Reads count child blocks into parent's children. Returns the largest
// non-critical status met; a critical one ends the list early.
unsigned int ReadCompositeChildren(IArchiverStream& stream, unsigned short count, CPatternBase& parent,
                                   std::vector<std::unique_ptr<CPatternBase>>& children, int depth);

// Hands each child to onDesign or onSequence by its class, in order, and stops
// at the first that fails. Children of other classes are reported and passed over.
bool ExtractCompositeChildren(std::vector<std::unique_ptr<CPatternBase>>& children,
                              std::function<bool(CPatternCompositeDesign&)> const& onDesign,
                              std::function<bool(CPatternCompositeSeq&)> const& onSequence);

} // namespace Brodix::Vp3Lib
