// The coders' status, and the level check that both coders make first.
#include "StitchFormats/TvkVipCompressor/ALStatus.h"
#include "StitchFormats/TvkVipCompressor/Parameters.h"

namespace Brodix::TvkVipCompressor {

int ALStatus::SetError(int code, char const*, ...)
{
    m_code = code;
    return code;
}

int WindowForLevel(int level, ALStatus& status)
{
    if (level < kMinLevel || level > kMaxLevel) {
        status.SetError(kStatusBadLevel,
                        "Incorrect compression level parameter passed to compressor.  Compression level = %d",
                        level - kMinLevel);
        return kInvalidLevelWindow;
    }
    return 1 << level;
}

} // namespace Brodix::TvkVipCompressor
