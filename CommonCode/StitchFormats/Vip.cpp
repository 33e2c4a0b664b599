// VIP reader. The TVK layout at version 400, with the colours as scrambled RGB
// values and a thread catalogue per colour, and long UTF-16 notes at an offset
// of their own. The scrambler's password is made from three fixed pieces.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/CryptoBlackBox.h"
#include "StitchFormats/Stitches.h"
#include "StitchFormats/TvkVipHelpers.h"
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr uint16_t kVipVersion = 400;
constexpr unsigned long kColourEntrySize = 4;
// Seven 32-bit numbers with their signs, and a terminator.
constexpr std::size_t kPasswordBuffer = 7 * 11 + 1;

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
    if (header.version != kVipVersion)
        return TvkVipHelpers::kStatusWrongVersion;

    if (AllocStorage(stitchCount) != 0)
        return kStatusRefused;
    SetNumberColours(header.colourCount);
    m_header = header;

    int32_t const* const p = GetPasswordPieces();
    char password[kPasswordBuffer];
    std::snprintf(password, sizeof password, "%d%d%d%d%d%d%d", p[0], p[1], p[2], p[1], p[0], p[2], p[1]);
    scrambler.SetPassword(password);
    scrambler.SetDir(CryptoBlackBox::DirDecrypt);
    scrambler.SetMode(CryptoBlackBox::ModeChained);

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
