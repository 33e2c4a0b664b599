// A sequence object: a group of designs, texts and nested sequences. Files
// of other software hold them; this library reads them but never writes one.
#pragma once
#include "Fundamentals/Design.h"
#include "Fundamentals/DesignNotes.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"
#include <memory>
#include <vector>

namespace Brodix::Vp3Lib {

class CPatternCompositeSeq : public CPatternBase {
public:
    // depth: how many sequences enclose this one, counting itself.
    explicit CPatternCompositeSeq(int depth = 1) : m_depth(depth) {}

    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassSequence; }

    // Every child extracts at the origin the sequence was given: its own
    // position and transform are not applied.
    bool ExtractStitchData(IDesign& design, CHiResVector origin);
    // Extracts all children into one new design, appended to the list when it
    // got any stitches.
    bool ExtractStitchDataMulti(std::vector<std::shared_ptr<IDesign>>& designs);

private:
    bool ExtractWithNotes(IDesign& design, CMergedNotes& notes);

    int m_depth;
    CPlacement m_placement;
    CMatrix2x2 m_transform;
};

} // namespace Brodix::Vp3Lib
