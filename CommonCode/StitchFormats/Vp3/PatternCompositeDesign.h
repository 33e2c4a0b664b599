// A design object of a VP3 file: its placement (centre, mirror, rotation and
// matrix), its notes and one stitch block per colour block.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include <memory>

namespace Brodix::Vp3Lib {

// The fields that a design and a sequence share, from the centre to the
// option flags.
struct CPlacement {
    CHiResVector centre;
    unsigned char transformFlags = 0;   // bit 1 mirror-y, bit 0 mirror-x
    unsigned short rotation = 0;        // degrees
    int32_t left = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::wstring notes;
    unsigned char settings[2] = {100, 100};
    CMatrix2x2 matrix;
    char codes[4] = {'x', 'x', 'P', 'P'};
    bool optionFlag0 = true;
    bool optionFlag1 = false;

    void Read(IArchiverStream& stream, unsigned char precision);
    void Write(IArchiverStream& stream, unsigned char precision) const;
    CMatrix2x2 Transform() const;
};

// The extra-data flag that follows the placement of designs, texts, font
// characters and embedded SPX objects: bit 0 announces a 32-bit count and
// that many bytes, which are skipped.
void SkipExtraData(IArchiverStream& stream);

class CWriteSource;

class CPatternCompositeDesign : public CPatternBase {
public:
    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassDesign; }

    // Builds the object and its stitch blocks from a design, relative to the
    // reference point (VP3 units). Always true.
    bool Load(CWriteSource const& source, CommonTypes::PointI const* reference);
    void SetupNullEmbroidery();

    // Appends the stitches of every stitch block, placed at origin plus centre.
    bool ExtractStitchData(IDesign& design, CHiResVector origin);

    std::wstring const& Notes() const { return m_placement.notes; }
    CPlacement const& Placement() const { return m_placement; }

private:
    CPlacement m_placement;
    std::wstring m_producer;
    CMatrix2x2 m_transform;
    // The stitch code of every block written, one allocation for the design.
    std::unique_ptr<unsigned char[]> m_code;
};

} // namespace Brodix::Vp3Lib
