// Texts: a placement like a design's, the producer, two counted blocks of
// lettering settings this reader skips, then the font characters.
#include "StitchFormats/Vp3/EmbText.h"

#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/FontCharacterEmb.h"
#include "StitchFormats/Vp3/PatternChildren.h"
#include "StitchFormats/Vp3/VP3Values.h"

#include <cstdio>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned int kUnusedBytes = 16;

// A 16-bit count and that many bytes: the layout of a narrow string.
void SkipCountedBlock(IArchiverStream& stream) { Read(stream, static_cast<std::string*>(nullptr)); }

} // namespace

unsigned int CEmbText::SerializeWrite(IArchiverStream&) const { return kStatusNotWritable; }

unsigned int CEmbText::SerializeRead(IArchiverStream& stream, unsigned char)
{
    CleanSubclasses();
    CBlockStream fields(stream, stream.GetSize());
    m_placement.Read(fields, m_precision);
    SkipExtraData(fields);
    Read(fields, &m_producer);
    int32_t unused = 0;
    Read(fields, unused);
    SkipCountedBlock(fields);
    Read(fields, static_cast<char*>(nullptr), kUnusedBytes);
    SkipCountedBlock(fields);
    unsigned short count = 0;
    Read(fields, count);
    m_transform = m_placement.Transform();
    if (fields.Overran())
        return kStatusUnreadable;
    return ReadChildrenOfClass(stream, count, *this, m_subclasses, kClassFontCharacter,
                               [] { return std::make_unique<CFontCharacterEmb>(); });
}

bool CEmbText::ExtractStitchData(IDesign& design, CHiResVector const& origin)
{
    CHiResVector const charactersOrigin = origin + m_placement.centre;
    for (auto& child : m_subclasses) {
        if (child->GetClassID() != kClassFontCharacter) {
            std::fputs("Unhandled class type!\n", stderr);
            continue;
        }
        if (!static_cast<CFontCharacterEmb&>(*child).ExtractStitchData(design, charactersOrigin))
            return false;
    }
    return true;
}

} // namespace Brodix::Vp3Lib
