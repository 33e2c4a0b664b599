// The thread colour of a stitch block, stored inline in the block without a
// class header of its own.
#pragma once
#include "Fundamentals/ColourData.h"
#include "StitchFormats/Vp3/PatternBase.h"

namespace Brodix::Vp3Lib {

class CPatternColourData : public CPatternBase {
public:
    CPatternColourData() = default;
    explicit CPatternColourData(ColourData const& colour) : m_colour(colour) {}

    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;

    static void WriteMaterialType(IArchiverStream& stream, uint32_t materialType);
    static void WriteThreadWeight(IArchiverStream& stream, uint32_t threadWeight);
    static uint32_t ReadMaterialType(IArchiverStream& stream);
    static uint32_t ReadThreadWeight(IArchiverStream& stream);
    // Reads a narrow string into a fixed field, cut to fieldSize - 1 characters
    // and NUL-terminated.
    static void ReadTextMember(IArchiverStream& stream, char* field, unsigned long fieldSize);

    ColourData const& Colour() const { return m_colour; }
    void SetColour(ColourData const& colour) { m_colour = colour; }

private:
    ColourData m_colour{};
};

} // namespace Brodix::Vp3Lib
