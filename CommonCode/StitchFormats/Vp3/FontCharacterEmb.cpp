// Font characters: four values nobody uses, then a placement like a design's
// whose centre is the character's position within its text, then its stitch
// blocks.
#include "StitchFormats/Vp3/FontCharacterEmb.h"

#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/PatternChildren.h"
#include "StitchFormats/Vp3/PatternStitch.h"
#include "StitchFormats/Vp3/VP3Values.h"

namespace Brodix::Vp3Lib {

unsigned int CFontCharacterEmb::SerializeWrite(IArchiverStream&) const { return kStatusNotWritable; }

unsigned int CFontCharacterEmb::SerializeRead(IArchiverStream& stream, unsigned char)
{
    CleanSubclasses();
    CBlockStream fields(stream, stream.GetSize());
    Read(fields, static_cast<char*>(nullptr), 4 * sizeof(int32_t));
    m_placement.Read(fields, m_precision);
    SkipExtraData(fields);
    Read(fields, static_cast<std::wstring*>(nullptr));
    unsigned short count = 0;
    Read(fields, count);
    m_transform = m_placement.Transform();
    if (fields.Overran())
        return kStatusUnreadable;
    return ReadChildrenOfClass(stream, count, *this, m_subclasses, kClassStitch,
                               [] { return std::make_unique<CPatternStitch>(); });
}

bool CFontCharacterEmb::ExtractStitchData(IDesign& design, CHiResVector origin)
{
    CVector2Col const position = m_transform * CVector2Col(m_placement.centre.x, m_placement.centre.y);
    CHiResVector const offset{RoundToCoordinate(position.x), RoundToCoordinate(position.y)};
    return ExtractStitchBlocks(m_subclasses, design, origin + offset, m_transform);
}

} // namespace Brodix::Vp3Lib
