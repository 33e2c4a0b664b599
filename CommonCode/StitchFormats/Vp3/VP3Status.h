// Result codes of every VP3 read, write and entry point (0 is success), what
// a read status means, and the class IDs that frame VP3 class blocks.
#pragma once
#include "Fundamentals/StatusTable.h"

namespace Brodix::Vp3Lib {

constexpr unsigned int kStatusOK = 0;
constexpr unsigned int kStatusNoFile = 1;
constexpr unsigned int kStatusUnexpectedClass = 2;   // block skipped
constexpr unsigned int kStatusConversionFailed = 2;  // writing: beyond what the fields hold
constexpr unsigned int kStatusSpxNotLoaded = 2;      // SPX library missing or failed; object kept empty
constexpr unsigned int kStatusUnreadable = 3;        // unsupported version or stitch data; block skipped
constexpr unsigned int kStatusNoStitches = 3;        // writing
constexpr unsigned int kStatusNoDesign = 4;          // also a bad format version byte
constexpr unsigned int kStatusBadData = 5;           // bad colour record or stitch data
constexpr unsigned int kStatusBadMagic = 6;
constexpr unsigned int kStatusNotWritable = 20;

constexpr unsigned int kClassRoot = 2;
constexpr unsigned int kClassDesign = 3;
constexpr unsigned int kClassSequence = 4;
constexpr unsigned int kClassStitch = 5;
constexpr unsigned int kClassFontCharacter = 0x11;
constexpr unsigned int kClassText = 0x13;
constexpr unsigned int kClassEmbeddedSPX = 0x22;
constexpr unsigned int kClassNone = 0xFFFFFFFF;   // objects never framed as a block

// What a read status means, for people. Statuses 2 and 3 still give the
// designs of the blocks that were read.
inline constexpr StatusEntry kReadStatusTable[] = {
    {kStatusOK, "OK", "read"},
    {kStatusNoFile, "NoFile", "no file to read"},
    {kStatusUnexpectedClass, "UnexpectedClass", "blocks this reader does not know were skipped"},
    {kStatusUnreadable, "Unreadable", "blocks of an unsupported version or with unreadable stitch data were skipped"},
    {kStatusNoDesign, "NoDesign", "unsupported format version, or no design in the file"},
    {kStatusBadData, "BadData", "damaged colour or stitch data"},
    {kStatusBadMagic, "BadMagic", "not a VP3 file"},
};

constexpr StatusEntry const& FindReadStatus(unsigned int code)
{
    return FindStatus(kReadStatusTable, code);
}

// What a write status means, for people.
inline constexpr StatusEntry kWriteStatusTable[] = {
    {kStatusOK, "OK", "written"},
    {kStatusConversionFailed, "TooLarge",
     "the design is larger than {format} can hold (at most 3276.7 mm from one stitch to the next)"},
    {kStatusNoStitches, "NoStitches", "the design has no stitches to write"},
};

constexpr StatusEntry const& FindWriteStatus(unsigned int code)
{
    return FindStatus(kWriteStatusTable, code);
}

namespace Private {

// Codes 0 to 3 let a read or write go on; anything above stops it.
inline bool IsCriticalError(unsigned int status) { return status > kStatusUnreadable; }

} // namespace Private
} // namespace Brodix::Vp3Lib
