// Result codes of every VP3 read, write and entry point (0 is success), and
// the class IDs that frame VP3 class blocks.
#pragma once

namespace Brodix::Vp3Lib {

constexpr unsigned int kStatusOK = 0;
constexpr unsigned int kStatusNoFile = 1;
constexpr unsigned int kStatusUnexpectedClass = 2;   // block skipped
constexpr unsigned int kStatusConversionFailed = 2;  // writing
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

namespace Private {

// Codes 0 to 3 let a read or write go on; anything above stops it.
inline bool IsCriticalError(unsigned int status) { return status > kStatusUnreadable; }

} // namespace Private
} // namespace Brodix::Vp3Lib
