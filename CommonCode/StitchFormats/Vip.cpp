// VIP reader and writer. The TVK layout at version 400, with the colours as
// scrambled RGB values and a thread catalogue per colour, and long UTF-16
// notes at an offset of their own. The scrambler's password is made from
// three fixed pieces.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/CryptoBlackBox.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"
#include <limits>
#include <vector>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr unsigned kRGBMask = 0x00FF'FFFF;

constexpr unsigned long kColourEntrySize = 4;

// A table cut short by the end of the data reads as zeros.
std::vector<uint8_t> ReadTable(Brodix::IArchiverStream& stream, int count)
{
    std::vector<uint8_t> table(kColourEntrySize * static_cast<std::size_t>(count), 0);
    if (!table.empty())
        stream.Read(table.data(), static_cast<unsigned long>(table.size()));
    return table;
}

} // namespace

int CStitches::VIPLoad(IArchiverStream& stream, ITvkVipCodec* codec)
{
    CryptoBlackBox scrambler;
    if (IsCanFileData(stream))
        return kStatusRefused;
    Header header;
    uint8_t notesOffsetBytes[4];
    if (!TvkVipHelpers::ReadHeader(stream, header) || stream.Read(notesOffsetBytes, 4) != 4)
        return kStatusRefused;
    uint32_t const notesOffset = ByteOrder::Le32(notesOffsetBytes);
    int const stitchCount = static_cast<int32_t>(header.stitchCount);
    if (TvkVipHelpers::IsBoxInverted(header))
        return TvkVipHelpers::kStatusInvertedBox;
    if (!ValidateNumCols(header.colourCount) || !ValidateStitchCount(stitchCount))
        return kStatusRefused;
    if (header.version != TvkVipHelpers::kVipVersion)
        return TvkVipHelpers::kStatusWrongVersion;

    if (AllocStorage(stitchCount) != 0)
        return kStatusRefused;
    SetNumberColours(header.colourCount);
    m_header = header;

    TvkVipHelpers::PrepareVipScrambler(scrambler, *this, CryptoBlackBox::DirDecrypt);

    std::vector<uint8_t> rgb = ReadTable(stream, header.colourCount);
    if (!rgb.empty())
        scrambler.TransformBuf(reinterpret_cast<char*>(rgb.data()), static_cast<int>(rgb.size()));
    std::vector<uint8_t> const colourTypes = ReadTable(stream, header.colourCount);
    for (int i = 0; i < header.colourCount; ++i) {
        SetColour(i, ByteOrder::Le32(rgb.data() + kColourEntrySize * i));
        SetManufacturer(i, static_cast<int32_t>(ByteOrder::Le32(colourTypes.data() + kColourEntrySize * i)));
    }

    std::wstring notes;
    if (notesOffset <= static_cast<uint32_t>(std::numeric_limits<int>::max())
        && TvkVipHelpers::ReadUnicodeCharacters(stream, notes, static_cast<int>(notesOffset)))
        SetWideNotes(std::move(notes));

    return ReadTvkVipStitchStreams(stream, codec);
}

// ---- writing ----

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
