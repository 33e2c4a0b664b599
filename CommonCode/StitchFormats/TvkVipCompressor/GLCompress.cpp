// GLCompress and GLDecompress: a whole section between two streams at level 10.
#include "StitchFormats/TvkVipCompressor/GLCompress.h"
#include "StitchFormats/TvkVipCompressor/ALGlCompressor.h"
#include "StitchFormats/TvkVipCompressor/ALStorage.h"

namespace {

constexpr int kFileLevelIndex = 0;   // level 10: a window of 1024 bytes
constexpr long kNoBudget = -1;

} // namespace

bool GLCompress(Brodix::IArchiverStream& in, Brodix::IArchiverStream& out)
{
    StreamStore input(in);
    StreamStore output(out);
    Brodix::TvkVipCompressor::ALGlCompressor compressor(kFileLevelIndex, 0);
    return compressor.Compress(input, output) == 0;
}

bool GLDecompress(Brodix::IArchiverStream& in, Brodix::IArchiverStream& out)
{
    StreamStore input(in);
    StreamStore output(out);
    Brodix::TvkVipCompressor::ALGlDecompressor decompressor(kFileLevelIndex);
    return decompressor.Decompress(input, output, kNoBudget) == 0;
}
