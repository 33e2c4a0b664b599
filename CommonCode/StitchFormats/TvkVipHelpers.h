// What the TVK and VIP readers and writers share: the 42-byte header, the
// three compressed stitch streams whose extents follow from their offsets, the
// counted UTF-16 notes block of VIP and the password of its colour scrambler.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "StitchFormats/CryptoBlackBox.h"
#include "StitchFormats/Stitches.h"
#include <string>

namespace TvkVipHelpers {

inline constexpr unsigned long kHeaderSize = 42;
inline constexpr uint16_t kTvkVersion = 200;
inline constexpr uint16_t kVipVersion = 400;

// The names of the three stitch streams, as the codec is told them.
inline constexpr char const* kCommandName = "Command";
inline constexpr char const* kXName = "X data";
inline constexpr char const* kYName = "Y data";

// Statuses of both readers beside the shared ones of CStitches.
inline constexpr int kStatusStreamFailed = 1;   // a stream did not decompress to the stitch count
inline constexpr int kStatusWrongVersion = 2;
inline constexpr int kStatusInvertedBox = 6;    // a maximum below its minimum

// Reads the header at position 0 into header; false when the data are shorter.
bool ReadHeader(Brodix::IArchiverStream& stream, CStitches::Header& header);

// A maximum below its minimum (a box of one point is fine).
inline bool IsBoxInverted(CStitches::Header const& header)
{
    return header.maxX < header.minX || header.maxY < header.minY;
}

// Decompresses the stream bytes start..end into exactly size bytes at
// destination. False without a codec, for an extent that does not lie inside
// the data (start negative, end before start or past the end) and when the
// codec fails; destination is then left as it was.
bool ReadCompressedStitchData(Brodix::IArchiverStream& stream, int start, int end, char* destination,
                              unsigned long size, const char* name, Brodix::StitchFormats::ITvkVipCodec* codec);

// Where a stream starting at start ends: the end of the data, or the nearest
// of the other two stream offsets that lies after start.
long GetEndOfCompressedBuffer(Brodix::IArchiverStream& stream, long start, long other1, long other2);

// Decompresses the "Command", "X data" and "Y data" streams of the header's
// offsets into the record fields; false when any of them fails.
bool ReadStitchStreams(Brodix::IArchiverStream& stream, CStitches::Header const& header, uint8_t* flags, int8_t* dx,
                       int8_t* dy, unsigned long count, Brodix::StitchFormats::ITvkVipCodec* codec);

// The notes block at position: a 32-bit count of UTF-16 units (a terminating 0
// unit included), then the units. False, text unchanged, when the count
// cannot be read or is 0. A count beyond the data reads what is there.
bool ReadUnicodeCharacters(Brodix::IArchiverStream& stream, std::wstring& text, int position);

// ---- writing ----
// Writes the header at the stream's position; false when the stream takes less.
bool WriteHeader(Brodix::IArchiverStream& stream, CStitches::Header const& header);

// Compresses size bytes of data and writes them at the stream's position,
// which becomes offset. False without a codec, or when compressing or writing fails.
bool WriteCompressedData(Brodix::IArchiverStream& stream, int& offset, char* data, unsigned long size,
                         const char* name, Brodix::StitchFormats::ITvkVipCodec* codec);

// Writes text as a notes block at the stream's position, which becomes offset:
// the count of UTF-16 units with the terminating 0 unit, then the units.
// Characters UTF-16 cannot hold become U+FFFD. False when the stream takes less.
bool WriteUnicodeCharacters(Brodix::IArchiverStream& stream, std::wstring const& text, int& offset);

// Gives the VIP colour scrambler its password, made from the container's three
// pieces, in chained mode and the given direction.
void PrepareVipScrambler(CryptoBlackBox& scrambler, CStitches const& stitches, CryptoBlackBox::eDir direction);

} // namespace TvkVipHelpers
