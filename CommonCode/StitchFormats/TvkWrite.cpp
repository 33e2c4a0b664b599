// Tovenrik TVK writer. The 42-byte header with the counts, the box and the
// offsets of the three compressed record streams, one Tovenrik palette index
// per colour, then the streams. The header's 8-character notes carry the start
// of the design notes.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"
#include <string>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr std::size_t kShortNotesLength = 8;

} // namespace

int CStitches::TovenrikSave(IArchiverRetriever& retriever, ICharEncoding* encoding, ITvkVipCodec* codec)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    if (int const status = PrepareTvkVipHeader(TvkVipHelpers::kTvkVersion); status != SF::kSaveStatusOK)
        return status;
    if (m_header.notes[0] == '\0' && encoding != nullptr)
        SetNotes(encoding->ConvertToChars(m_wideNotes.substr(0, kShortNotesLength)).c_str());

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
