// What the TVK and VIP readers share: the 42-byte header, the three compressed
// stitch streams whose extents follow from their offsets, and the counted
// UTF-16 notes block of VIP.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "StitchFormats/Stitches.h"
#include <string>

namespace TvkVipHelpers {

inline constexpr unsigned long kHeaderSize = 42;

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

} // namespace TvkVipHelpers
