// The fixed sizes of the TVK/VIP stream that encoder and decoder share.
#pragma once
#include "StitchFormats/TvkVipCompressor/ALStatus.h"

namespace Brodix::TvkVipCompressor {

inline constexpr int kMinLevel = 10;   // the window is 2^level bytes
inline constexpr int kMaxLevel = 14;
inline constexpr int kInvalidLevelWindow = 2;

inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
inline constexpr int kMatchSymbolOffset = 256 - kMinMatch;   // a match of length l is symbol l + 253

inline constexpr int kSymbolCount = 511;   // 0..255 bytes, 256..509 matches, 510 end
inline constexpr int kEndSymbol = 510;
inline constexpr int kPositionClassCount = 15;
inline constexpr int kLengthCodeCount = 19;

inline constexpr int kBlockCountBits = 16;
inline constexpr int kShortCountBits = 5;    // length-code and position-code counts
inline constexpr int kSymbolCountBits = 9;   // symbol-code count and long zero runs
inline constexpr int kLengthCodeZeroRunAfter = 3;
inline constexpr int kMaxCodeLength = 16;

inline constexpr int kChunkSize = 512;   // input and output buffers

// The window of a level: 2^level bytes, or, for a level outside 10..14,
// kInvalidLevelWindow with status set to kStatusBadLevel.
int WindowForLevel(int level, ALStatus& status);

} // namespace Brodix::TvkVipCompressor
