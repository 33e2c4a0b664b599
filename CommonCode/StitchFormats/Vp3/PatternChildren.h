// Reading and extracting child blocks: the lists of the root and of
// sequences, which take designs, texts, sequences and embedded SPX objects,
// and the lists of one class that designs, texts and font characters hold.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include <functional>

namespace Brodix::Vp3Lib {

class CEmbeddedSPX;
class CEmbText;
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

// Reads count child blocks of which only blocks of classID (version 0) are
// made, by make. A stitch block is taken only when it reads with status 0, a
// composite when its status is not critical and it holds a child. Blocks of
// another class give 2,
// of another version 3, and are skipped like the ones not taken. Returns the
// largest non-critical status met; a critical one ends the list early.
unsigned int ReadChildrenOfClass(IArchiverStream& stream, unsigned short count, CPatternBase const& parent,
                                 std::vector<std::unique_ptr<CPatternBase>>& children, unsigned int classID,
                                 std::function<std::unique_ptr<CPatternBase>()> const& make);

// What to do with each class of child of the root or of a sequence.
struct CompositeChildHandlers {
    std::function<bool(CPatternCompositeDesign&)> design;
    std::function<bool(CEmbText&)> text;
    std::function<bool(CPatternCompositeSeq&)> sequence;
    std::function<bool(CEmbeddedSPX&)> spx;
};

// Hands each child to its handler by class, in order, and stops at the first
// that fails. Children of other classes are reported and passed over.
bool ExtractCompositeChildren(std::vector<std::unique_ptr<CPatternBase>>& children,
                              CompositeChildHandlers const& handlers);

// Appends the stitches of every stitch block among children that holds data,
// placed at origin through transform; other children are passed over. False
// at the first block with bad stitch data.
bool ExtractStitchBlocks(std::vector<std::unique_ptr<CPatternBase>>& children, IDesign& design, CHiResVector origin,
                         CMatrix2x2 const& transform);

} // namespace Brodix::Vp3Lib
