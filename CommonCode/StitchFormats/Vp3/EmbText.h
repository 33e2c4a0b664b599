// A text of a VP3 file: lettering placed at its centre, made of font
// characters that each carry their own placement and stitch blocks.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"

namespace Brodix::Vp3Lib {

class CEmbText : public CPatternBase {
public:
    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassText; }
    static bool IsValidVersion(unsigned char version) { return version == 0; }

    // Appends every character, each placed at origin plus the text's centre.
    // The text's own transform is not applied: the characters carry theirs.
    virtual bool ExtractStitchData(IDesign& design, CHiResVector const& origin);

    std::wstring const& Notes() const { return m_placement.notes; }
    CPlacement const& Placement() const { return m_placement; }
    CMatrix2x2 const& Transform() const { return m_transform; }

private:
    CPlacement m_placement;
    std::wstring m_producer;
    CMatrix2x2 m_transform;
};

} // namespace Brodix::Vp3Lib
