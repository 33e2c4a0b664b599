// Feeds arbitrary bytes to the TVK/VIP decoder as one compressed section,
// its output held to a fixed bound. Whatever decodes is compressed again by
// our encoder and must decompress to the same bytes.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/TvkVipCompressor/BoundedMemoryStream.h"
#include "StitchFormats/TvkVipCompressor/GLCompress.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr unsigned long kMaxOutput = 256 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> input(data, size);
    Brodix::TvkVipCompressor::BoundedMemoryStream output(kMaxOutput);
    if (!GLDecompress(input, output))
        return 0;
    std::vector<char> plain(output.Content().begin(), output.Content().end());
    auto const codec = Brodix::StitchFormats::MakeTvkVipCodec();
    std::vector<char> compressed;
    if (!codec->Compress("", plain.data(), plain.size(), compressed))
        __builtin_trap();
    std::vector<char> back(plain.size());
    if (!codec->Decompress("", compressed.data(), compressed.size(), back.data(), back.size()) || back != plain)
        __builtin_trap();
    return 0;
}
