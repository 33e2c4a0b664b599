// Tovenrik TVK reader. A 42-byte header with the counts, the bounding box and
// the offsets of three compressed streams, then one Tovenrik palette index per
// colour; the streams hold the record kinds, the x steps and the y steps.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"
#include <vector>

namespace {

constexpr uint16_t kTvkVersion = 200;
constexpr unsigned long kColourIndexSize = 2;
constexpr std::size_t kShortNotesBuffer = 9;   // 8 characters and a terminator

} // namespace

int CStitches::TovenrikLoad(IArchiverStream& stream, ICharEncoding* encoding, ITvkVipCodec* codec)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    Header header;
    if (!TvkVipHelpers::ReadHeader(stream, header))
        return kStatusRefused;
    if (header.version != kTvkVersion)
        return TvkVipHelpers::kStatusWrongVersion;
    if (TvkVipHelpers::IsBoxInverted(header))
        return TvkVipHelpers::kStatusInvertedBox;
    int const stitchCount = static_cast<int32_t>(header.stitchCount);
    if (!ValidateNumCols(header.colourCount) || !ValidateStitchCount(stitchCount))
        return kStatusRefused;

    if (AllocStorage(stitchCount) != 0)
        return kStatusRefused;
    SetNumberColours(header.colourCount);
    m_header = header;

    // A table cut short by the end of the data reads as index 0.
    std::vector<uint8_t> indices(kColourIndexSize * static_cast<std::size_t>(header.colourCount), 0);
    if (!indices.empty())
        stream.Read(indices.data(), static_cast<unsigned long>(indices.size()));
    for (int i = 0; i < header.colourCount; ++i) {
        int const index = ByteOrder::Le16(indices.data() + kColourIndexSize * i);
        SetColour(i, GetTovenrikRGB(index));
        SetManufacturer(i, m_defaultColourType);
    }

    if (encoding != nullptr) {
        char notes[kShortNotesBuffer];
        GetNotes(notes);
        SetWideNotes(encoding->ConvertToWChars(notes));
    }

    return ReadTvkVipStitchStreams(stream, codec);
}
