// The codec the format engine hands to the TVK and VIP readers and writers.
#pragma once
#include "StitchFormats/FormatVocabulary.h"
#include <memory>

namespace Brodix::StitchFormats {

// Decompress succeeds only when the section decompresses to exactly outSize
// bytes; it never holds more than outSize decompressed bytes, and on failure
// out is left untouched.
[[nodiscard]] std::unique_ptr<ITvkVipCodec> MakeTvkVipCodec();

} // namespace Brodix::StitchFormats
