// What a file's header tells people beyond the design. Only PES has such a
// header so far: its version, hoop and number of hoop positions.
#include "StitchFormats/PesHeaders.h"
#include "StitchFormats/StitchFormats.h"
#include <cstdlib>

namespace Brodix::StitchFormats {

namespace {

constexpr unsigned long kPesMagicSize = 8;   // "#PES" and four version digits
constexpr std::size_t kPesVersionDigits = 4;

HeaderDetails DescribePesHeader(IArchiverStream& stream)
{
    char magic[kPesMagicSize + 1] = {};
    stream.SetPos(0);
    if (stream.Read(magic, kPesMagicSize) != kPesMagicSize)
        return {};
    stream.SetPos(0);
    int const version = std::atoi(magic + kPesMagicSize - kPesVersionDigits);
    std::unique_ptr<BasePESHeader> header = CreatePESHeader(version);
    if (header == nullptr)
        return {};
    header->SetDefaults();
    if (!header->LoadFromFile(stream))
        return {};
    int width = 0;
    int height = 0;
    bool rotated = false;
    header->GetHoop(width, height, rotated);
    return {
        {"PES version", std::to_string(version)},
        {"hoop", std::to_string(width) + " x " + std::to_string(height) + " mm" + (rotated ? " (rotated)" : "")},
        {"hoop positions", std::to_string(header->GetNumHoops())},
    };
}

} // namespace

HeaderDetails DescribeHeader(IArchiverStream& stream, Format format)
{
    if (format != FormatPES)
        return {};
    unsigned long const position = stream.GetPos();
    HeaderDetails details = DescribePesHeader(stream);
    stream.SetPos(position);
    return details;
}

} // namespace Brodix::StitchFormats
