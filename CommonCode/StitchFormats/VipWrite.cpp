// VIP writer. The TVK layout at version 400, with the colours as RGB values
// scrambled with the format's password, a thread catalogue per colour, the
// design notes as UTF-16 text at an offset of their own, then the three
// compressed record streams.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/CryptoBlackBox.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"

namespace SF = Brodix::StitchFormats;

namespace {

constexpr unsigned kRGBMask = 0x00FF'FFFF;

} // namespace

int CStitches::VIPSave(IArchiverRetriever& retriever, ITvkVipCodec* codec)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    if (int const status = PrepareTvkVipHeader(TvkVipHelpers::kVipVersion); status != SF::kSaveStatusOK)
        return status;

    std::vector<uint8_t> rgb, colourTypes;
    for (int i = 0; i < m_header.colourCount; ++i) {
        ByteOrder::PutLe32(rgb, GetColour(i) & kRGBMask);
        ByteOrder::PutLe32(colourTypes, static_cast<uint32_t>(GetManufacturer(i)));
    }
    CryptoBlackBox scrambler;
    TvkVipHelpers::PrepareVipScrambler(scrambler, *this, CryptoBlackBox::DirEncrypt);
    scrambler.TransformBuf(reinterpret_cast<char*>(rgb.data()), static_cast<int>(rgb.size()));

    // The header and the notes offset go first as placeholders and again once
    // the offsets are known.
    StitchWriting::MemoryStream image;
    std::vector<uint8_t> notesOffset;
    ByteOrder::PutLe32(notesOffset, 0);
    int notesAt = 0;
    if (!TvkVipHelpers::WriteHeader(image, m_header) || !StitchWriting::WriteAll(image, notesOffset)
        || !StitchWriting::WriteAll(image, rgb) || !StitchWriting::WriteAll(image, colourTypes)
        || !TvkVipHelpers::WriteUnicodeCharacters(image, m_wideNotes, notesAt)
        || !WriteTvkVipStitchStreams(image, codec))
        return SF::kSaveStatusWriteFailed;
    image.SetPos(0);
    TvkVipHelpers::WriteHeader(image, m_header);
    notesOffset.clear();
    ByteOrder::PutLe32(notesOffset, static_cast<uint32_t>(notesAt));
    StitchWriting::WriteAll(image, notesOffset);
    return StitchWriting::WriteImage(*output, image.Content());
}
