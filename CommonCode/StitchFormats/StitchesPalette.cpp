// The palette and catalogue operations that readers reach as members of the
// container.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"

unsigned CStitches::GetRGBFromTovenrikIndex(int index)
{
    return GetTovenrikRGB(index);
}

void CStitches::GetNearestColourData(ColourData& out, unsigned rgb, int colourType)
{
    ::GetNearestColourData(out, rgb, colourType);
}

int CStitches::GetVipFormatColours(unsigned& rgb, ColourData const& colour)
{
    return ::GetVipFormatColours(rgb, colour);
}

unsigned CStitches::GetOldColourRGB(int colourType, int code)
{
    return ::GetOldColourRGB(colourType, code);
}

int CStitches::GetClosestTovenrikToRGB(unsigned rgb)
{
    return Brodix::StitchFormats::GetClosestTovenrikToRGB(rgb);
}

void CStitches::ConvertRGBToFormat(int convertType)
{
    if (m_colourCount <= 0)
        return;
    ConvertColoursToFormat(m_rgb.get(), m_colourCount, convertType);
    for (int i = 0; i < m_colourCount; ++i)
        m_colourTypes[i] = m_defaultColourType;
}
