// Tovenrik TVK reader and writer. A 42-byte header with the counts, the
// bounding box and the offsets of three compressed streams, then one Tovenrik
// palette index per colour; the streams hold the record kinds, the x steps and
// the y steps. The header's 8-character notes carry the start of the notes.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"
#include <string>
#include <vector>

namespace SF = Brodix::StitchFormats;

namespace {

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
    if (header.version != TvkVipHelpers::kTvkVersion)
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

// ---- writing ----

int CStitches::TovenrikSave(IArchiverRetriever& retriever, ICharEncoding* encoding, ITvkVipCodec* codec)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    if (int const status = PrepareTvkVipHeader(TvkVipHelpers::kTvkVersion); status != SF::kSaveStatusOK)
        return status;
    if (m_header.notes[0] == '\0' && encoding != nullptr)
        SetNotes(encoding->ConvertToChars(m_wideNotes.substr(0, kShortNotesBuffer - 1)).c_str());

    StitchWriting::MemoryStream image;
    std::vector<uint8_t> indices;
    for (int i = 0; i < m_header.colourCount; ++i)
        ByteOrder::PutLe16(indices, static_cast<uint16_t>(GetClosestTovenrikToRGB(GetColour(i))));
    // The header goes first as a placeholder and again once the offsets are known.
    if (!TvkVipHelpers::WriteHeader(image, m_header) || !StitchWriting::WriteAll(image, indices)
        || !WriteTvkVipStitchStreams(image, codec))
        return SF::kSaveStatusWriteFailed;
    image.SetPos(0);
    TvkVipHelpers::WriteHeader(image, m_header);
    return StitchWriting::WriteImage(*output, image.Content());
}
