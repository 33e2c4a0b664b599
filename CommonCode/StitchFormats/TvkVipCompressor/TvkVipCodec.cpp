// The codec object of the format engine: whole sections in memory through
// GLCompress and GLDecompress. Decompressed bytes never exceed the size the
// caller expects, whatever the compressed data claim.
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/TvkVipCompressor/BoundedMemoryStream.h"
#include "StitchFormats/TvkVipCompressor/GLCompress.h"
#include <algorithm>

namespace Brodix::StitchFormats {

namespace {

using Archivers::MemoryStreamRW;
using TvkVipCompressor::BoundedMemoryStream;

class TvkVipCodec final : public ITvkVipCodec {
public:
    bool Compress(char const*, char* data, unsigned long size, std::vector<char>& out) override
    {
        if (data == nullptr && size > 0)
            return false;
        MemoryStreamRW<IArchiverStream> input(data, size);
        MemoryStreamRW<IArchiverStream> output;
        if (!GLCompress(input, output))
            return false;
        out.assign(output.Content().begin(), output.Content().end());
        return true;
    }

    bool Decompress(char const*, char* in, unsigned long inSize, char* out, unsigned long outSize) override
    {
        if ((in == nullptr && inSize > 0) || (out == nullptr && outSize > 0))
            return false;
        MemoryStreamRW<IArchiverStream> input(in, inSize);
        BoundedMemoryStream output(outSize);
        if (!GLDecompress(input, output) || output.GetSize() != outSize)
            return false;
        std::copy(output.Content().begin(), output.Content().end(), out);
        return true;
    }
};

} // namespace

std::unique_ptr<ITvkVipCodec> MakeTvkVipCodec()
{
    return std::make_unique<TvkVipCodec>();
}

} // namespace Brodix::StitchFormats
