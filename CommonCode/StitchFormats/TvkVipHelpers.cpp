// The header, stream extents and notes shared by the TVK and VIP readers and
// writers. Every extent and count taken from the file is checked against the
// data before anything is read or allocated for it.
#include "StitchFormats/TvkVipHelpers.h"
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/StitchWriting.h"
#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace TvkVipHelpers {

namespace {

constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kSurrogateEnd = 0xE000;
constexpr char32_t kSupplementaryFirst = 0x10000;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char16_t kReplacementCharacter = 0xFFFD;

// Seven 32-bit numbers with their signs, and a terminator.
constexpr std::size_t kPasswordBuffer = 7 * 11 + 1;

bool IsHighSurrogate(char16_t unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }
bool IsLowSurrogate(char16_t unit) { return unit >= kLowSurrogateFirst && unit < kSurrogateEnd; }

} // namespace

using ByteOrder::Le16;
using ByteOrder::Le32;

bool ReadHeader(Brodix::IArchiverStream& stream, CStitches::Header& header)
{
    uint8_t bytes[kHeaderSize];
    stream.SetPos(0);
    if (stream.Read(bytes, kHeaderSize) != kHeaderSize)
        return false;
    header.codeNumber = Le16(bytes + 0);
    header.version = Le16(bytes + 2);
    header.stitchCount = Le32(bytes + 4);
    header.colourCount = static_cast<int16_t>(Le16(bytes + 8));
    header.hoopNumber = static_cast<int16_t>(Le16(bytes + 10));
    header.maxX = static_cast<int16_t>(Le16(bytes + 12));
    header.maxY = static_cast<int16_t>(Le16(bytes + 14));
    header.minX = static_cast<int16_t>(Le16(bytes + 16));
    header.minY = static_cast<int16_t>(Le16(bytes + 18));
    for (int i = 0; i < 3; ++i)
        header.sectionOffsets[i] = Le32(bytes + 20 + 4 * i);
    std::copy(bytes + 32, bytes + 40, header.notes);
    header.notesTrailer = Le16(bytes + 40);
    return true;
}

bool ReadCompressedStitchData(Brodix::IArchiverStream& stream, int start, int end, char* destination,
                              unsigned long size, const char* name, Brodix::StitchFormats::ITvkVipCodec* codec)
{
    if (codec == nullptr || start < 0 || end < start || static_cast<unsigned long>(end) > stream.GetSize())
        return false;
    std::vector<char> compressed(static_cast<std::size_t>(end - start));
    stream.SetPos(static_cast<unsigned long>(start));
    if (!compressed.empty() && stream.Read(compressed.data(), static_cast<unsigned long>(compressed.size()))
                                   != compressed.size())
        return false;
    return codec->Decompress(name, compressed.data(), static_cast<unsigned long>(compressed.size()), destination,
                             size);
}

long GetEndOfCompressedBuffer(Brodix::IArchiverStream& stream, long start, long other1, long other2)
{
    long end = static_cast<long>(stream.GetSize());
    if (other1 > start && other1 < end)
        end = other1;
    if (other2 > start && other2 < end)
        end = other2;
    return end;
}

bool ReadStitchStreams(Brodix::IArchiverStream& stream, CStitches::Header const& header, uint8_t* flags, int8_t* dx,
                       int8_t* dy, unsigned long count, Brodix::StitchFormats::ITvkVipCodec* codec)
{
    // Offsets are signed in the file.
    long const offsets[3] = {static_cast<int32_t>(header.sectionOffsets[0]),
                             static_cast<int32_t>(header.sectionOffsets[1]),
                             static_cast<int32_t>(header.sectionOffsets[2])};
    char* const destinations[3] = {reinterpret_cast<char*>(flags), reinterpret_cast<char*>(dx),
                                   reinterpret_cast<char*>(dy)};
    char const* const names[3] = {kCommandName, kXName, kYName};
    for (int i = 0; i < 3; ++i) {
        long const end = GetEndOfCompressedBuffer(stream, offsets[i], offsets[(i + 1) % 3], offsets[(i + 2) % 3]);
        if (end > std::numeric_limits<int>::max())
            return false;
        if (!ReadCompressedStitchData(stream, static_cast<int>(offsets[i]), static_cast<int>(end), destinations[i],
                                      count, names[i], codec))
            return false;
    }
    return true;
}

bool ReadUnicodeCharacters(Brodix::IArchiverStream& stream, std::wstring& text, int position)
{
    unsigned long const size = stream.GetSize();
    if (position < 0 || static_cast<unsigned long>(position) > size)
        return false;
    stream.SetPos(static_cast<unsigned long>(position));
    uint8_t countBytes[4];
    if (stream.Read(countBytes, 4) != 4)
        return false;
    uint32_t const count = Le32(countBytes);
    if (count == 0)
        return false;
    // The count cannot reserve more than the data hold.
    unsigned long const available = (size - static_cast<unsigned long>(position) - 4) / 2;
    std::vector<uint8_t> bytes(2 * std::min<unsigned long>(count, available));
    if (!bytes.empty())
        bytes.resize(stream.Read(bytes.data(), static_cast<unsigned long>(bytes.size())) / 2 * 2);

    std::wstring result;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        char16_t const unit = static_cast<char16_t>(Le16(bytes.data() + i));
        if (unit == 0)
            break;
        if (IsHighSurrogate(unit)) {
            if (i + 2 < bytes.size()) {
                char16_t const low = static_cast<char16_t>(Le16(bytes.data() + i + 2));
                if (IsLowSurrogate(low)) {
                    result.push_back(static_cast<wchar_t>((unit - kHighSurrogateFirst) * 0x400
                                                          + (low - kLowSurrogateFirst) + kSupplementaryFirst));
                    i += 2;
                }
            }
            continue;   // a high surrogate without its low half is dropped
        }
        if (IsLowSurrogate(unit))
            continue;
        result.push_back(static_cast<wchar_t>(unit));
    }
    text = std::move(result);
    return true;
}

bool WriteHeader(Brodix::IArchiverStream& stream, CStitches::Header const& header)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(kHeaderSize);
    ByteOrder::PutLe16(bytes, header.codeNumber);
    ByteOrder::PutLe16(bytes, header.version);
    ByteOrder::PutLe32(bytes, header.stitchCount);
    for (int16_t field : {header.colourCount, header.hoopNumber, header.maxX, header.maxY, header.minX, header.minY})
        ByteOrder::PutLe16(bytes, static_cast<uint16_t>(field));
    for (uint32_t offset : header.sectionOffsets)
        ByteOrder::PutLe32(bytes, offset);
    bytes.insert(bytes.end(), header.notes, header.notes + sizeof header.notes);
    ByteOrder::PutLe16(bytes, header.notesTrailer);
    return StitchWriting::WriteAll(stream, bytes);
}

bool WriteCompressedData(Brodix::IArchiverStream& stream, int& offset, char* data, unsigned long size,
                         const char* name, Brodix::StitchFormats::ITvkVipCodec* codec)
{
    if (codec == nullptr || stream.GetPos() > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        return false;
    offset = static_cast<int>(stream.GetPos());
    std::vector<char> compressed;
    if (!codec->Compress(name, data, size, compressed))
        return false;
    return StitchWriting::WriteAll(stream, compressed.data(), compressed.size());
}

bool WriteUnicodeCharacters(Brodix::IArchiverStream& stream, std::wstring const& text, int& offset)
{
    if (stream.GetPos() > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        return false;
    offset = static_cast<int>(stream.GetPos());
    std::vector<char16_t> units;
    units.reserve(text.size() + 1);
    for (wchar_t c : text) {
        auto const code = static_cast<char32_t>(c);
        bool const surrogate = code >= kHighSurrogateFirst && code < kSurrogateEnd;
        if (surrogate || code > kLastCodePoint) {
            units.push_back(kReplacementCharacter);
        } else if (code >= kSupplementaryFirst) {
            char32_t const v = code - kSupplementaryFirst;
            units.push_back(static_cast<char16_t>(kHighSurrogateFirst + (v >> 10)));
            units.push_back(static_cast<char16_t>(kLowSurrogateFirst + (v & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
    }
    units.push_back(0);
    std::vector<uint8_t> bytes;
    bytes.reserve(4 + 2 * units.size());
    ByteOrder::PutLe32(bytes, static_cast<uint32_t>(units.size()));
    for (char16_t unit : units)
        ByteOrder::PutLe16(bytes, unit);
    return StitchWriting::WriteAll(stream, bytes);
}

void PrepareVipScrambler(CryptoBlackBox& scrambler, CStitches const& stitches, CryptoBlackBox::eDir direction)
{
    int32_t const* const p = stitches.GetPasswordPieces();
    char password[kPasswordBuffer];
    std::snprintf(password, sizeof password, "%d%d%d%d%d%d%d", p[0], p[1], p[2], p[1], p[0], p[2], p[1]);
    scrambler.SetPassword(password);
    scrambler.SetDir(direction);
    scrambler.SetMode(CryptoBlackBox::ModeChained);
}

} // namespace TvkVipHelpers

// A stream that does not decompress to exactly the header's stitch count
// leaves the container empty.
int CStitches::ReadTvkVipStitchStreams(IArchiverStream& stream, ITvkVipCodec* codec)
{
    int const count = static_cast<int32_t>(m_header.stitchCount);
    if (count < 0 || count > m_capacity
        || !TvkVipHelpers::ReadStitchStreams(stream, m_header, m_flags.get(), m_dx.get(), m_dy.get(),
                                             static_cast<unsigned long>(count), codec)) {
        ClearStitches();
        return TvkVipHelpers::kStatusStreamFailed;
    }
    SetCount(count);
    return kStatusOk;
}

int CStitches::PrepareTvkVipHeader(uint16_t version)
{
    SizeDesign();
    if (!ValidateStitchCount(m_count))
        return Brodix::StitchFormats::kSaveStatusTooManyRecords;
    // One colour more than there are changes, as the readers demand; colours
    // past the table are written as black.
    int const colours = GetActualColourCount() + 1;
    if (!ValidateNumCols(colours))
        return Brodix::StitchFormats::kSaveStatusTooManyColours;
    // The box fields are 16 bits.
    auto fits = [](int v) { return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max(); };
    if (!fits(m_extent.minX) || !fits(m_extent.maxX) || !fits(m_extent.minY) || !fits(m_extent.maxY))
        return Brodix::StitchFormats::kSaveStatusTooLarge;
    m_header.version = version;
    m_header.stitchCount = static_cast<uint32_t>(m_count);
    m_header.colourCount = static_cast<int16_t>(colours);
    return Brodix::StitchFormats::kSaveStatusOK;
}

bool CStitches::WriteTvkVipStitchStreams(IArchiverStream& stream, ITvkVipCodec* codec)
{
    char* const fields[3] = {reinterpret_cast<char*>(m_flags.get()), reinterpret_cast<char*>(m_dx.get()),
                             reinterpret_cast<char*>(m_dy.get())};
    char const* const names[3] = {TvkVipHelpers::kCommandName, TvkVipHelpers::kXName, TvkVipHelpers::kYName};
    for (int i = 0; i < 3; ++i) {
        int offset = 0;
        if (!TvkVipHelpers::WriteCompressedData(stream, offset, fields[i], static_cast<unsigned long>(m_count),
                                                names[i], codec))
            return false;
        m_header.sectionOffsets[i] = static_cast<uint32_t>(offset);
    }
    return true;
}
