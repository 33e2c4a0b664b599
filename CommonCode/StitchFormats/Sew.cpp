// Janome SEW reader. A fixed layout: the colour count and twelve Janome colour
// codes, a preview bitmap, then from a fixed offset the stitch stream that the
// JEF reader decodes (Jef.h).
#include "StitchFormats/Jef.h"
#include "StitchFormats/Stitches.h"
#include <span>

using Brodix::IArchiverStream;

namespace {

constexpr unsigned long kHeaderSize = 26;   // the count and twelve 16-bit codes
constexpr int kMaxColours = 12;
constexpr unsigned long kStitchDataStart = 7544;
// The first move is measured from a start point off the hoop centre.
constexpr Brodix::CommonTypes::PointI kFirstMoveOffset{-174, 100};

} // namespace

int CStitches::SewLoad(IArchiverStream& stream)
{
    uint8_t header[kHeaderSize];
    stream.SetPos(0);
    if (stream.Read(header, kHeaderSize) < kHeaderSize)
        return kStatusRefused;
    int const colourCount = header[0] | (header[1] << 8);
    if (colourCount < 1 || colourCount > kMaxColours)
        return kStatusRefused;
    if (IsCanFileData(stream))
        return kStatusRefused;
    // A file that ends before the stitch data has no stitches to read.
    if (stream.GetSize() < kStitchDataStart)
        return kStatusRefused;

    int16_t codes[kMaxColours];
    for (int i = 0; i < kMaxColours; ++i)
        codes[i] = static_cast<int16_t>(header[2 + 2 * i] | (header[3 + 2 * i] << 8));

    // The header always holds twelve codes, whatever the count says; changes
    // beyond the twelfth reuse it.
    return ReadJanomeStitchData(*this, stream, kStitchDataStart, kFirstMoveOffset,
                                std::span<int16_t const>(codes, kMaxColours));
}
