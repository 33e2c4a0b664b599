// One character of a VP3 text: its offset from the text's centre, its own
// placement transform, and its stitch blocks.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"

namespace Brodix::Vp3Lib {

class CFontCharacterEmb : public CPatternBase {
public:
    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassFontCharacter; }
    static bool IsValidVersion(unsigned char version) { return version == 0; }

    // Appends the stitch blocks, placed through the character's transform at
    // origin (the text's centre) plus the transformed position.
    virtual bool ExtractStitchData(IDesign& design, CHiResVector origin);

    // The centre of the placement is the character's position.
    CPlacement const& Placement() const { return m_placement; }

private:
    CPlacement m_placement;
    CMatrix2x2 m_transform;
};

} // namespace Brodix::Vp3Lib
